// SPDX-License-Identifier: MIT
#pragma once

#include "app/ApplicationActions.h"
#include "model/ScanPreferences.h"
#include "platform/VolumeFacts.h"
#include "volumes/VolumesWindowController.h"
#include "window/CommandActions.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AboutDialog.h"
class DocumentWindowController;
class PreviewPanel;
#include <QMessageBox>
class QUrl;

// Owns the windows of the application: every document window from its opening until it
// closes, and the volume chooser for the whole run. Turns chosen folders into document
// windows and answers the application's own commands.
//
// Lifecycle on a desktop without a dock: when the last document window closes, the
// chooser comes back; closing the chooser with no document open quits; Quit always quits.
//
// Threads: main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Seams for tests; every member left empty means the real thing.
    struct Environment {
        VolumesWindowController::Sources volumes;
        VolumeFactsProvider documentFacts;
        // The open panel: chosen folders in the panel's order, or nothing when cancelled.
        std::function<std::optional<std::vector<std::string>>()> chooseFolders;
        std::function<void(const QUrl&)> openUrl;
        std::function<void()> terminate;
    };

    AppDelegate();
    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Folders handed over at launch or later; each opens a window, and none opens the
    // chooser at launch. `scan` applies to every scan of those windows.
    void open(const std::vector<std::string>& paths, const LaunchScanOptions& scan = {});
    void applicationDidFinishLaunching();

    void showVolumes();
    void openFolder();
    DocumentWindowController* openDocument(const std::string& path, const LaunchScanOptions& scan = {});
    // A window reading the saved scan in `file`.
    DocumentWindowController* openSavedScan(const std::string& file);
    // File ▸ Open Scan…: saved scans chosen in a panel.
    void openScanFiles();
    // A saved scan (recognised by its content) opens as one; anything else is scanned.
    DocumentWindowController* openPath(const std::string& path, const LaunchScanOptions& scan = {});
    void quit();

    void showAbout();
    void showShortcuts();
    void openWebsite();
    void openSupport();
    void openPrivacy();
    void sendFeedback();
    void checkForUpdates();

    [[nodiscard]] std::vector<DocumentWindowController*> documents() const;
    [[nodiscard]] VolumesWindowController* volumesController() const { return m_volumesController.get(); }
    [[nodiscard]] CommandActions& commandActions() { return m_commandActions; }
    [[nodiscard]] ApplicationActions& applicationActions() { return m_applicationActions; }

private:
    [[nodiscard]] static QString shortcutsText();
    DocumentWindowController* adopt(DocumentWindowController* controller);
    void documentClosed(DocumentWindowController* controller);
    void volumesClosed();
    void openUrl(const QUrl& url);
    [[nodiscard]] std::optional<std::vector<std::string>> runOpenPanel();

    Environment m_environment;
    CommandActions m_commandActions;
    ApplicationActions m_applicationActions;
    // Owned; a closed window's controller is dropped from here and deleted later.
    std::vector<QPointer<DocumentWindowController>> m_documents;
    // Closed windows waiting for their deferred deletion; deleted at once if the event
    // loop ends first.
    std::vector<QPointer<DocumentWindowController>> m_closed;
    std::unique_ptr<VolumesWindowController> m_volumesController;
    bool m_launchedWithFiles = false;
    bool m_quitting = false;
    // One panel for every document window; it goes after them.
    std::unique_ptr<PreviewPanel> m_previewPanel;
    QPointer<AboutDialog> m_about;
    QPointer<QMessageBox> m_shortcuts;
};
