// SPDX-License-Identifier: MIT
#pragma once

#include "model/NodeSet.h"
#include "model/RGB.h"
#include "scan/FileNode.h"
#include "treemap/CancelToken.h"
#include "treemap/TMRect.h"
#include "treemap/Treemap.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QMenu;
class SerialQueue;

// What the treemap asks of its controller. The controller owns the view, so the view
// holds it as a plain pointer that the controller clears before it goes.
class TreemapViewDelegate {
public:
    virtual ~TreemapViewDelegate() = default;
    // Single click or context-menu gesture on a node: reveal and select its row.
    virtual void select(FileNode* node) = 0;
    // Click with a count of 2 or more on a node.
    virtual void didDoubleClick(FileNode* node) = 0;
    // The node under the pointer changed; null when the pointer left the view.
    virtual void updateStatus(FileNode* node) = 0;
    // The menu for a context-menu gesture, after select(); may be null.
    virtual std::unique_ptr<QMenu> contextMenu() = 0;
    virtual void toggleQuickLook() = 0;
    // Return and Backspace while the view has the keyboard focus.
    virtual void zoomIn() { }
    virtual void zoomOut() { }
};

// Shows the rendered treemap of its root, outlines the selected nodes and turns pointer
// and key events into delegate calls. Renders run on a serial render queue; requests
// made within one turn of the event loop start one render, and each request cancels
// the render in progress. The last image is shown, scaled, until a newer one arrives.
//
// Threads: every member is used on the main thread. A render reads only what it
// captured and the tree; it reaches the view back through a QPointer on the main thread.
class TreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TreemapView(QWidget* parent = nullptr);
    ~TreemapView() override;

    void setDelegate(TreemapViewDelegate* delegate) { m_delegate = delegate; }
    [[nodiscard]] TreemapViewDelegate* delegate() const { return m_delegate; }

    // The queue renders run on; by default one of the view's own. The queue must
    // outlive the view's pending renders (the document's queue outlives its window).
    void setRenderQueue(SerialQueue* queue);
    [[nodiscard]] SerialQueue& renderQueue() const { return *m_renderQueue; }

    // Each assignment asks for a render.
    void setRoot(FileNode* root);
    void setColors(std::vector<RGB> colors);
    void setShowPackageContents(bool show);
    // Asks for a render only when the value changes.
    void setHighlightKind(std::optional<std::int32_t> kind);
    // Items lit among dimmed others, as for a highlighted kind; null for none. Asks for a
    // render only when the set changes.
    void setHighlightItems(std::shared_ptr<const NodeSet> items);
    // Colours leaves by the age of their modification time instead of by kind; the ages
    // are taken at the moment it is switched on.
    void setColorByAge(bool on);
    [[nodiscard]] bool colorsByAge() const { return m_ageReference.has_value(); }
    // Redraws the outlines over the current image; no render.
    void setSelection(std::vector<FileNode*> nodes);

    [[nodiscard]] FileNode* root() const { return m_root; }
    [[nodiscard]] const std::vector<RGB>& colors() const { return m_colors; }
    [[nodiscard]] bool showPackageContents() const { return m_showPackageContents; }
    [[nodiscard]] std::optional<std::int32_t> highlightKind() const { return m_highlightKind; }
    [[nodiscard]] bool highlightsItems() const { return m_highlightItems != nullptr; }
    [[nodiscard]] const std::vector<FileNode*>& selection() const { return m_selection; }
    [[nodiscard]] const QImage& image() const { return m_image; }
    [[nodiscard]] FileNode* hovered() const { return m_hovered; }

    // Asks for a new image: cancels the running render and queues one start per turn.
    void setNeedsRender();
    // Cancels the render in progress, if any (before a change of the tree).
    void cancelRender();

    // The view's bounds as a layout rectangle, in points.
    [[nodiscard]] TMRect bounds() const;
    // The node under a point of the view, or null.
    [[nodiscard]] FileNode* nodeAt(QPointF point) const;
    // The block beside the last selected one in the direction of an arrow key, at the
    // same depth where the block there lies deeper; with nothing selected, the block in
    // the top-left corner. Null at the edge of the view.
    [[nodiscard]] FileNode* neighbour(Qt::Key arrow) const;
    // Rectangles of the outlines drawn for the selection (first 100 nodes, inset by 1).
    [[nodiscard]] std::vector<QRectF> selectionOutlines() const;

    static constexpr std::size_t kMaxOutlined = 100;

signals:
    // A rendered image was stored and the view scheduled for repaint.
    void imageDelivered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void startRender();

    TreemapViewDelegate* m_delegate = nullptr;
    std::unique_ptr<SerialQueue> m_ownQueue;
    SerialQueue* m_renderQueue = nullptr;
    FileNode* m_root = nullptr;
    std::vector<RGB> m_colors;
    bool m_showPackageContents = false;
    std::optional<std::int32_t> m_highlightKind;
    std::shared_ptr<const NodeSet> m_highlightItems;
    std::optional<std::int64_t> m_ageReference; // seconds since 1970 the ages count from
    std::vector<FileNode*> m_selection;
    QImage m_image;
    std::shared_ptr<CancelToken> m_currentToken;
    bool m_renderScheduled = false;
    FileNode* m_hovered = nullptr;
    // Every change of the tree asks for a render, which forgets the kept layouts.
    mutable Treemap::HitTester m_hitTester;
};
