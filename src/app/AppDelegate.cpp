// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"

#include "app/AboutDialog.h"
#include "app/LaunchArguments.h"
#include "app/Links.h"
#include "app/MainMenu.h"
#include "scan/ScanReader.h"
#include "window/CommandTable.h"
#include "window/DocumentWindowController.h"
#include "window/PreviewPanel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTreeView>

#include <climits>
#include <cstdlib>

static void initAppResources()
{
    Q_INIT_RESOURCE(tallyfern);
}

AppDelegate::AppDelegate()
    : AppDelegate(Environment {})
{
}

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent)
    , m_environment(std::move(environment))
{
    initAppResources();
    using Id = ApplicationActions::Id;
    const auto on = [this](Id id, void (AppDelegate::*slot)()) {
        connect(m_applicationActions.action(id), &QAction::triggered, this, slot);
    };
    on(Id::About, &AppDelegate::showAbout);
    on(Id::CheckForUpdates, &AppDelegate::checkForUpdates);
    on(Id::Quit, &AppDelegate::quit);
    on(Id::NewScan, &AppDelegate::showVolumes);
    on(Id::OpenFolder, &AppDelegate::openFolder);
    on(Id::OpenScan, &AppDelegate::openScanFiles);
    on(Id::Help, &AppDelegate::openSupport);
    on(Id::Shortcuts, &AppDelegate::showShortcuts);
    on(Id::SendFeedback, &AppDelegate::sendFeedback);
    on(Id::Website, &AppDelegate::openWebsite);
    on(Id::Privacy, &AppDelegate::openPrivacy);
}

AppDelegate::~AppDelegate()
{
    m_quitting = true;
    for (auto* list : { &m_documents, &m_closed }) {
        for (const QPointer<DocumentWindowController>& document : *list) {
            if (document) {
                document->onClose = nullptr;
                delete document.data();
            }
        }
    }
    delete m_about.data();
    delete m_shortcuts.data();
}

void AppDelegate::open(const std::vector<std::string>& paths, const LaunchScanOptions& scan)
{
    if (paths.empty())
        return;
    m_launchedWithFiles = true;
    for (const std::string& path : paths)
        openPath(path, scan);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (!m_launchedWithFiles)
        showVolumes();
}

void AppDelegate::showVolumes()
{
    if (!m_volumesController) {
        m_volumesController = std::make_unique<VolumesWindowController>(m_environment.volumes);
        m_volumesController->setMenuBar(MainMenu::build(m_commandActions, m_applicationActions));
        QPointer<AppDelegate> self(this);
        m_volumesController->onOpen = [self](const std::string& path) {
            if (self)
                self->openDocument(path);
        };
        connect(m_volumesController.get(), &VolumesWindowController::openFolderRequested, this,
            &AppDelegate::openFolder);
        connect(m_volumesController.get(), &VolumesWindowController::urlsDropped, this,
            [this](const QList<QUrl>& urls) {
                std::vector<std::string> paths;
                for (const QUrl& url : urls) {
                    // The encoded form keeps a name's bytes even where they are not UTF-8.
                    std::string path = LaunchArguments::pathOfFileUrl(url.toEncoded().toStdString());
                    if (!path.empty())
                        paths.push_back(std::move(path));
                }
                // As on the command line: a folder reached through a link is scanned as the one it leads to.
                for (const std::string& path : LaunchArguments::folders(paths, "/"))
                    openPath(path);
            });
        connect(
            m_volumesController.get(), &VolumesWindowController::closed, this, &AppDelegate::volumesClosed);
    } else {
        m_volumesController->reload();
    }
    m_volumesController->show();
    m_volumesController->raise();
    m_volumesController->activateWindow();
}

DocumentWindowController* AppDelegate::openDocument(const std::string& path, const LaunchScanOptions& scan)
{
    return adopt(
        new DocumentWindowController(path, m_environment.documentFacts, DirectoryReader::system(), scan));
}

DocumentWindowController* AppDelegate::openSavedScan(const std::string& file)
{
    return adopt(new DocumentWindowController(
        DocumentWindowController::SavedScanFile { file }, m_environment.documentFacts));
}

DocumentWindowController* AppDelegate::openPath(const std::string& path, const LaunchScanOptions& scan)
{
    // A saved scan is read, not scanned: the launcher refuses scan options for one.
    return ScanReader::isSavedScan(path) ? openSavedScan(path) : openDocument(path, scan);
}

void AppDelegate::openScanFiles()
{
    QFileDialog panel(nullptr, tr("Open a saved scan"));
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setNameFilters({ tr("Saved scans (*.json *.json.gz *.json.zst *.gz *.zst)"), tr("All files (*)") });
    panel.setWindowModality(Qt::ApplicationModal);
    if (panel.exec() != QDialog::Accepted)
        return;
    // Whatever the name, the reader judges the content.
    for (const QString& file : panel.selectedFiles())
        openSavedScan(QFile::encodeName(file).toStdString());
}

DocumentWindowController* AppDelegate::adopt(DocumentWindowController* controller)
{
    controller->setMenuBar(MainMenu::build(m_commandActions, m_applicationActions));
    controller->setCommandActions(&m_commandActions);
    if (!m_previewPanel) {
        m_previewPanel = std::make_unique<PreviewPanel>();
        // The document commands' keys work while the panel is active, on the document
        // it shows.
        for (const CommandInfo& info : CommandTable::all())
            m_previewPanel->addAction(m_commandActions.action(info.command));
    }
    controller->setPreviewPanel(m_previewPanel.get());
    m_commandActions.watch(controller);
    // Select All follows the same state changes as the document commands.
    connect(controller, &DocumentWindowController::commandStateChanged, &m_applicationActions,
        &ApplicationActions::refresh);

    QPointer<AppDelegate> self(this);
    QPointer<DocumentWindowController> weak(controller);
    controller->onClose = [self, weak] {
        if (self && weak)
            self->documentClosed(weak.data());
    };
    m_documents.emplace_back(controller);
    controller->show();
    controller->raise();
    controller->activateWindow();
    if (m_volumesController)
        m_volumesController->hide();
    return controller;
}

std::vector<DocumentWindowController*> AppDelegate::documents() const
{
    std::vector<DocumentWindowController*> out;
    for (const QPointer<DocumentWindowController>& document : m_documents) {
        if (document)
            out.push_back(document.data());
    }
    return out;
}

void AppDelegate::documentClosed(DocumentWindowController* controller)
{
    // Identity, not path: the same folder may be open twice.
    std::erase_if(m_documents, [controller](const QPointer<DocumentWindowController>& document) {
        return document.isNull() || document.data() == controller;
    });
    // The controller is inside its own close handling now; it goes when that is done.
    controller->deleteLater();
    std::erase_if(m_closed, [](const QPointer<DocumentWindowController>& closed) { return closed.isNull(); });
    m_closed.emplace_back(controller);
    if (m_documents.empty() && !m_quitting && !(m_volumesController && m_volumesController->isVisible()))
        showVolumes();
}

void AppDelegate::volumesClosed()
{
    if (documents().empty())
        quit();
}

void AppDelegate::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    // Each window stops its scan and renders as it closes.
    for (DocumentWindowController* document : documents())
        document->close();
    if (m_volumesController)
        m_volumesController->hide();
    if (m_environment.terminate)
        m_environment.terminate();
    else
        QCoreApplication::quit();
}

std::optional<std::vector<std::string>> AppDelegate::runOpenPanel()
{
    QFileDialog panel(nullptr, tr("Choose a folder or volume to scan"));
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly, true);
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setLabelText(QFileDialog::Accept, tr("Scan"));
    panel.setWindowModality(Qt::ApplicationModal);
    // The dialog allows one folder in directory mode; its views allow several.
    for (QAbstractItemView* view : panel.findChildren<QAbstractItemView*>(QStringLiteral("listView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QAbstractItemView* view : panel.findChildren<QAbstractItemView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (panel.exec() != QDialog::Accepted)
        return std::nullopt;
    std::vector<std::string> paths;
    for (const QString& file : panel.selectedFiles()) {
        const QByteArray encoded = QFile::encodeName(file);
        // As on the command line, a folder reached through a symbolic link is scanned as
        // the folder it leads to: the Trash acts only on paths without links.
        char buffer[PATH_MAX];
        paths.push_back(
            ::realpath(encoded.constData(), buffer) ? std::string(buffer) : encoded.toStdString());
    }
    return paths;
}

void AppDelegate::openFolder()
{
    const std::optional<std::vector<std::string>> chosen
        = m_environment.chooseFolders ? m_environment.chooseFolders() : runOpenPanel();
    if (!chosen)
        return;
    for (const std::string& path : *chosen)
        openDocument(path);
}

void AppDelegate::showAbout()
{
    if (!m_about) {
        m_about = new AboutDialog;
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

QString AppDelegate::shortcutsText()
{
    QStringList lines {
        tr("Click a block in the treemap to find it in the list; double-click to drill into its "
           "folder. Select a kind in the lower-left table to highlight every file of that kind."),
        QString()
    };
    for (const CommandInfo& info : CommandTable::all()) {
        const QList<QKeySequence> keys = info.shortcuts();
        if (keys.isEmpty())
            continue;
        QStringList names;
        // The views answer Space themselves; it is no shortcut of the command.
        if (info.command == Command::QuickLook)
            names << tr("Space");
        for (const QKeySequence& key : keys)
            names << key.toString(QKeySequence::NativeText);
        lines << tr("%1 — %2").arg(names.join(QStringLiteral(" / ")), info.displayText());
    }
    return lines.join(QLatin1Char('\n'));
}

void AppDelegate::showShortcuts()
{
    if (!m_shortcuts) {
        m_shortcuts = new QMessageBox(QMessageBox::Information, QStringLiteral("Tallyfern"),
            tr("Tallyfern Shortcuts"), QMessageBox::Ok);
        m_shortcuts->setInformativeText(shortcutsText());
        // The message reads as the heading of the alert.
        if (auto* heading = m_shortcuts->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
        }
        m_shortcuts->setIconPixmap(AboutDialog::applicationIcon().pixmap(QSize(64, 64)));
        m_shortcuts->setWindowModality(Qt::ApplicationModal);
        m_shortcuts->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_shortcuts->show();
    m_shortcuts->raise();
    m_shortcuts->activateWindow();
}

void AppDelegate::openUrl(const QUrl& url)
{
    if (m_environment.openUrl)
        m_environment.openUrl(url);
    else
        QDesktopServices::openUrl(url); // the result is of no use: nothing to fall back on
}

void AppDelegate::openWebsite()
{
    openUrl(Links::website());
}

void AppDelegate::openSupport()
{
    openUrl(Links::support());
}

void AppDelegate::openPrivacy()
{
    openUrl(Links::privacy());
}

void AppDelegate::sendFeedback()
{
    openUrl(Links::feedbackEmail());
}

void AppDelegate::checkForUpdates()
{
    openUrl(Links::releases());
}
