// SPDX-License-Identifier: MIT
// The commands of a document window: zoom and navigation, file actions, rescans, the
// toolbar, the context menu and the one enablement rule.
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"

#include <QMenu>

bool DocumentWindowController::canPerform(std::optional<Command> command) const
{
    if (!m_disk->root() || isScanning())
        return false;
    if (!command)
        return true;
    return false;
}

void DocumentWindowController::perform(Command command)
{
    if (!canPerform(command))
        return;
    switch (command) {
    case Command::RevealInFileManager: revealInFileManager(); break;
    case Command::OpenItem: openItem(); break;
    case Command::CopyPath:
    case Command::Copy: copyPath(); break;
    case Command::QuickLook: toggleQuickLook(); break;
    case Command::MoveToTrash: moveToTrash(); break;
    case Command::ZoomIn: zoomIn(); break;
    case Command::ZoomOut: zoomOut(); break;
    case Command::ZoomToTop: zoomToTop(); break;
    case Command::CollapseSubfolders: collapseSubfolders(); break;
    case Command::ToggleFreeSpace: toggleFreeSpace(); break;
    case Command::TogglePackageContents: togglePackageContents(); break;
    case Command::Rescan: rescan(); break;
    case Command::RescanAll: rescanAll(); break;
    case Command::CustomizeToolbar: break;
    }
}

bool DocumentWindowController::isChecked(Command command) const
{
    switch (command) {
    case Command::ToggleFreeSpace: return m_disk->showFreeSpace;
    case Command::TogglePackageContents: return m_disk->showPackageContents;
    default: return false;
    }
}

void DocumentWindowController::didDoubleClick(FileNode*) { }
std::unique_ptr<QMenu> DocumentWindowController::contextMenu() { return nullptr; }
void DocumentWindowController::toggleQuickLook() { }
void DocumentWindowController::refreshQuickLook() { }
void DocumentWindowController::zoomIn() { }
void DocumentWindowController::zoomOut() { }
void DocumentWindowController::zoomToTop() { }
void DocumentWindowController::collapseSubfolders() { }
void DocumentWindowController::toggleFreeSpace() { }
void DocumentWindowController::togglePackageContents() { }
void DocumentWindowController::outlineDoubleClicked(const QModelIndex&) { }
void DocumentWindowController::revealInFileManager() { }
void DocumentWindowController::openItem() { }
void DocumentWindowController::copyPath() { }
void DocumentWindowController::moveToTrash() { }
void DocumentWindowController::performTrash(const std::vector<FileNode*>&) { }
void DocumentWindowController::rescan() { }
void DocumentWindowController::rescanAll() { }
void DocumentWindowController::rescanSubtree(FileNode*) { }
void DocumentWindowController::buildToolbar() { }
