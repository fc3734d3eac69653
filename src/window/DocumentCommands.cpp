// SPDX-License-Identifier: MIT
#include "window/DocumentCommands.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "platform/gui/Workspace.h"
#include "scan/ScanWriter.h"

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>

DocumentCommands::DocumentCommands(const TallyfernDocument& document)
    : m_document(document)
{
}

bool DocumentCommands::opens(const FileNode* node) const
{
    return node && TreeQueries::opensAsFolder(*node, m_document.showPackageContents);
}

std::vector<FileNode*> DocumentCommands::actionable(const View& view)
{
    return TreeQueries::outermost(view.selected);
}

std::vector<FileNode*> DocumentCommands::trashable(const View& view) const
{
    std::vector<FileNode*> nodes = actionable(view);
    std::erase(nodes, m_document.root()); // the scanned folder itself is never trashed
    return nodes;
}

bool DocumentCommands::canPerform(Command command, const View& view) const
{
    // The scan thread installs the new root: nothing of the document is read until it has.
    if (view.scanning || !m_document.root())
        return false;
    switch (command) {
    case Command::RevealInFileManager:
    case Command::OpenItem:
    case Command::QuickLook:
        return !actionable(view).empty() && fileAccessBlocker(command, view).isEmpty();
    case Command::CopyPath:
    case Command::Copy:
        return !actionable(view).empty();
    case Command::MoveToTrash:
        return !trashable(view).empty() && fileAccessBlocker(command, view).isEmpty();
    case Command::ZoomIn:
        return !view.selected.empty();
    case Command::CollapseSubfolders:
        return collapseTarget(view) != nullptr;
    case Command::ZoomOut:
    case Command::ZoomToTop:
        return view.zoomRoot && view.zoomRoot->parent;
    case Command::Rescan:
    case Command::RescanAll:
        return view.rescans == 0 && fileAccessBlocker(command, view).isEmpty();
    case Command::SaveScanAs:
        return true;
    case Command::OpenTerminal:
        return terminalFolder(view) != nullptr && fileAccessBlocker(command, view).isEmpty();
    case Command::ToggleFreeSpace:
        return m_document.freeNode() != nullptr && !m_document.showsApparentSizes();
    case Command::ShowApparentSizes:
    case Command::TogglePackageContents:
    case Command::CustomizeToolbar:
    case Command::Find:
    case Command::Preferences:
    case Command::ColorByAge:
        return true;
    }
    return true;
}

QString DocumentCommands::fileAccessBlocker(Command command, const View& view) const
{
    // While a scan runs, its thread owns the origin as it owns the tree.
    if (view.scanning || !m_document.savedOrigin || !m_document.root())
        return {};
    const std::optional<SavedScanOrigin>& origin = m_document.savedOrigin;
    std::vector<FileNode*> targets;
    switch (command) {
    case Command::RevealInFileManager:
    case Command::OpenItem:
    case Command::QuickLook:
    case Command::OpenTerminal:
        targets = actionable(view);
        break;
    case Command::MoveToTrash:
        targets = trashable(view);
        break;
    case Command::Rescan:
        targets = { rescanTarget(view) };
        break;
    case Command::RescanAll:
        targets = { m_document.root() };
        break;
    default:
        return {};
    }
    const auto tr = [](const char* text) { return QCoreApplication::translate("DocumentCommands", text); };
    if (!origin->madeHere) {
        if (origin->metadata.host.empty())
            return tr("This saved scan does not say on which computer it was made, so its items are not "
                      "looked for here.");
        if (origin->metadata.host != ScanWriter::hostName())
            return tr("This scan was made on “%1”; its items are not on this computer.")
                .arg(DisplayName::decode(origin->metadata.host));
        return tr("This saved scan does not name its folder by a plain absolute path, so its items are "
                  "not looked for here.");
    }
    for (const FileNode* node : targets) {
        if (!node || node->flags.contains(NodeFlags::Pseudo))
            continue;
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(node->path(), error)))
            return tr("“%1” is not on this computer any more.").arg(DisplayName::decode(node->path()));
    }
    return {};
}

QString DocumentCommands::disabledReason(Command command, const View& view) const
{
    if (QString blocker = fileAccessBlocker(command, view); !blocker.isEmpty())
        return blocker;
    if (command == Command::ToggleFreeSpace && m_document.freeNode() && m_document.showsApparentSizes())
        return QCoreApplication::translate("DocumentCommands",
            "Free space is space on disk: it shows beside allocated sizes, not apparent ones");
    if (command != Command::OpenTerminal || canPerform(command, view) || view.scanning || !m_document.root())
        return {};
    return QCoreApplication::translate(
        "DocumentCommands", "A terminal opens in one folder: select a single folder");
}

FileNode* DocumentCommands::terminalFolder(const View& view) const
{
    const std::vector<FileNode*> nodes = actionable(view);
    if (nodes.size() != 1)
        return nullptr;
    FileNode* node = nodes.front();
    return node->isDirectory() && !node->flags.contains(NodeFlags::Pseudo) ? node : nullptr;
}

bool DocumentCommands::isChecked(Command command, const View& view) const
{
    switch (command) {
    case Command::ToggleFreeSpace:
        // While a scan installs its tree the free-space item is the scan thread's; the
        // command is disabled then, and a document without the item has no checkmark.
        return !view.scanning && m_document.showFreeSpace && m_document.freeNode()
            && !m_document.showsApparentSizes();
    case Command::TogglePackageContents:
        return m_document.showPackageContents;
    case Command::ColorByAge:
        return view.colorByAge;
    case Command::ShowApparentSizes:
        return m_document.showsApparentSizes(); // set on this thread only, and kept through scans
    default:
        return false;
    }
}

FileNode* DocumentCommands::zoomInTarget(const View& view) const
{
    if (view.selected.empty())
        return nullptr;
    FileNode* target = view.selected.back();
    if (!opens(target))
        target = target->parent;
    if (target && target->flags.contains(NodeFlags::Pseudo) && target->parent)
        target = target->parent;
    return target;
}

FileNode* DocumentCommands::doubleClickTarget(const FileNode* clicked, const View& view) const
{
    if (!view.zoomRoot || !clicked || !clicked->parent)
        return nullptr;
    // One level down, however deep the clicked file lies.
    const FileNode* child = clicked;
    while (child->parent && child->parent != view.zoomRoot)
        child = child->parent;
    if (child->parent != view.zoomRoot || !opens(child))
        return nullptr;
    return const_cast<FileNode*>(child);
}

FileNode* DocumentCommands::collapseTarget(const View& view) const
{
    if (view.selected.empty())
        return nullptr;
    FileNode* last = view.selected.back();
    return opens(last) ? last : last->parent;
}

FileNode* DocumentCommands::rescanTarget(const View& view) const
{
    FileNode* root = m_document.root();
    const std::vector<FileNode*> nodes = actionable(view);
    if (!root || nodes.empty())
        return root;
    FileNode* first = nodes.front(); // only the first counts
    const bool plainFolder = first->isDirectory() && !first->flags.contains(NodeFlags::Package);
    return plainFolder ? first : (first->parent ? first->parent : root);
}

DocumentCommands::TrashOutcome DocumentCommands::moveToTrash(
    std::span<FileNode* const> nodes, Workspace& workspace) const
{
    TrashOutcome outcome;
    for (FileNode* node : nodes) {
        const QString name = DisplayName::decode(node->name());
        if (!TreeQueries::isAttached(node, m_document.root())) {
            outcome.failures << QCoreApplication::translate(
                "DocumentCommands", "%1: It is no longer part of the scan.")
                                    .arg(name);
            continue;
        }
        const FileTrash::Outcome moved = workspace.moveToTrash(node->path());
        if (moved.moved)
            outcome.moved.push_back(node);
        else
            outcome.failures << name + QStringLiteral(": ") + moved.reason;
    }
    return outcome;
}

FileNode* DocumentCommands::zoomAfterRemoving(std::span<FileNode* const> moved, FileNode* zoomRoot) const
{
    if (!zoomRoot)
        return nullptr;
    for (FileNode* node : moved)
        if (node == zoomRoot || zoomRoot->hasAncestor(node))
            return node->parent ? node->parent : m_document.root();
    return zoomRoot;
}
