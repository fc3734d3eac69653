// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QToolButton;

// One item handed to the preview panel. Sizes and kinds come formatted by the caller,
// which knows them from its scan; the panel reads the file only for its contents.
struct PreviewItem {
    std::string path; // file system bytes
    QString name; // for display
    bool isDirectory = false;
    QString sizeText;
    QString kindText;
    QString summary; // for folders, e.g. "1,234 files"
};

// The application's preview window. It shows the items of whichever window
// currently controls it: images scaled to fit, the start of text files, a summary for
// folders, and icon, name, size and kind for anything else; several items are paged.
// Space and Escape close it; every other key goes to the controlling window's key
// handler, so the arrow keys move that window's selection while the panel is key.
// Main thread only.
class PreviewPanel : public QWidget {
    Q_OBJECT
public:
    using ItemsProvider = std::function<std::vector<PreviewItem>()>;
    using KeyHandler = std::function<bool(QKeyEvent*)>;
    enum class Page { Empty, Image, Text, Folder, Other };

    // A top-level window even with a parent; the application owns one for all its
    // document windows.
    explicit PreviewPanel(QWidget* parent = nullptr);

    // Hands control to `owner`; its callbacks are dropped when it is destroyed.
    void setSource(QObject* owner, ItemsProvider items, KeyHandler keys);
    // Takes control away from `owner` only if it still has it.
    void clearSource(const QObject* owner);
    [[nodiscard]] QObject* source() const { return m_owner; }

    // Asks the source for its items again and shows the first.
    void reloadData();
    // Hides a visible panel; otherwise shows it, raised and key.
    void toggle();

    [[nodiscard]] int itemCount() const { return static_cast<int>(m_items.size()); }
    void showItem(int index);
    [[nodiscard]] Page page() const { return m_page; }
    // What the current page shows (for the text page the text, else the name line).
    [[nodiscard]] QString shownText() const;
    [[nodiscard]] QSize shownImageSize() const;

    // Bytes of a text file shown at most.
    static constexpr qint64 kTextPreviewBytes = 64 * 1024;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPage(Page page);
    void showInfo(const PreviewItem& item, Page page);
    void scaleImage();

    QPointer<QObject> m_owner;
    ItemsProvider m_itemsProvider;
    KeyHandler m_keyHandler;
    std::vector<PreviewItem> m_items;
    int m_index = -1;
    Page m_page = Page::Empty;
    QImage m_image;

    QStackedWidget* m_stack = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QLabel* m_imageLabel = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_infoIcon = nullptr;
    QLabel* m_infoName = nullptr;
    QLabel* m_infoDetails = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QLabel* m_counter = nullptr;
};
