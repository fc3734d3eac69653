// SPDX-License-Identifier: MIT
#pragma once

#include "platform/MountTable.h"
#include "platform/VolumeFacts.h"
#include "platform/gui/FullDiskAccessProbe.h"
#include "volumes/Volume.h"

#include <QList>
#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class MountWatcher;
class QLabel;
class QListWidget;
class QPushButton;

// The window the user sees first: the mounted volumes and the home folder with their
// used and free space, from which one is picked for scanning. It stays current as
// volumes come and go, and keeps its frame across runs. Closing it only hides it; its
// owner decides what else happens.
//
// Threads: main thread only.
class VolumesWindowController : public QMainWindow {
    Q_OBJECT
public:
    // Where the chooser gets its facts from; every member left empty means the platform's.
    struct Sources {
        std::function<std::vector<MountEntry>()> mounts;
        VolumeFactsProvider facts;
        std::function<QString(const std::string&)> volumeName;
        std::string home;
        std::string user;
        FullDiskAccessProbe::Opener probeOpener;
        std::function<void(const QUrl&)> openUrl;
        bool watchMounts = true;
    };

    VolumesWindowController();
    explicit VolumesWindowController(Sources sources, QWidget* parent = nullptr);
    ~VolumesWindowController() override;

    std::function<void(const std::string& path)> onOpen; // set by the owner

    // Rebuilds the rows, keeping the selected row where it still exists, and re-checks
    // Full Disk Access.
    void reload();
    // Opens `clickedRow` when given (a double click), else the selected row.
    void scanSelected(std::optional<int> clickedRow = std::nullopt);
    void openAccessSettings();

    [[nodiscard]] const std::vector<Volume>& volumes() const { return m_volumes; }
    [[nodiscard]] QListWidget* table() const { return m_table; }
    [[nodiscard]] QWidget* accessBanner() const { return m_accessBanner; }
    [[nodiscard]] QPushButton* scanButton() const { return m_scanButton; }
    [[nodiscard]] QPushButton* openFolderButton() const { return m_openFolderButton; }
    [[nodiscard]] QLabel* subtitleLabel() const { return m_subtitle; }

    static constexpr const char* kFrameKey = "TallyfernVolumes/geometry";

signals:
    void openFolderRequested(); // the "Open Folder…" button
    void urlsDropped(const QList<QUrl>& urls); // items dropped on the window, to open
    void closed(); // the user closed the window (it is hidden, not destroyed)

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildContents();
    void updateBanner();
    void saveFrame() const;
    void restoreFrame();
    [[nodiscard]] std::vector<Volume> loadVolumes() const;

    Sources m_sources;
    std::vector<Volume> m_volumes;
    QListWidget* m_table = nullptr;
    QWidget* m_accessBanner = nullptr;
    QLabel* m_subtitle = nullptr;
    QPushButton* m_scanButton = nullptr;
    QPushButton* m_openFolderButton = nullptr;
    MountWatcher* m_watcher = nullptr;
};
