// SPDX-License-Identifier: MIT
#pragma once

#include "window/Command.h"

#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

class FileNode;
class TallyfernDocument;
class Workspace;

// The logic of the document commands, free of widgets: which commands apply to what the
// window shows, what each acts on, and the Trash's file moves. The window asks, then
// does the showing. Main thread only.
class DocumentCommands {
public:
    // What the window shows when a command is asked about.
    struct View {
        std::vector<FileNode*> selected; // in outline order
        FileNode* zoomRoot = nullptr; // the treemap's root
        bool scanning = false; // a full scan runs (the tree is the scan thread's)
        int rescans = 0; // folder rescans running
        bool colorByAge = false; // the treemap is coloured by age
    };

    explicit DocumentCommands(const TallyfernDocument& document);

    // The one enablement rule.
    [[nodiscard]] bool canPerform(Command command, const View& view) const;
    // Why a command that acts on files (open, reveal, preview, Trash, rescans) cannot act
    // on what `view` shows of a saved scan: it was made on another machine, or an item's
    // path is not here. Empty when nothing of the kind stands in the way.
    [[nodiscard]] QString fileAccessBlocker(Command command, const View& view) const;
    // Why an existing command is disabled, where the user may not see it at once; empty
    // when enabled or when no reason needs telling.
    [[nodiscard]] QString disabledReason(Command command, const View& view) const;
    // The one real folder selected, on disk, for Open Terminal Here; else null.
    [[nodiscard]] FileNode* terminalFolder(const View& view) const;
    // Checkmarks of the two toggles.
    [[nodiscard]] bool isChecked(Command command, const View& view) const;

    // The real items selected that no other selected one contains.
    [[nodiscard]] static std::vector<FileNode*> actionable(const View& view);
    // The actionable items except the scanned folder itself.
    [[nodiscard]] std::vector<FileNode*> trashable(const View& view) const;
    [[nodiscard]] bool opens(const FileNode* node) const; // a folder that opens, here
    // The folder Zoom In shows: the last selected if it opens, else its folder; a pseudo
    // item's folder's parent. Null when nothing is selected.
    [[nodiscard]] FileNode* zoomInTarget(const View& view) const;
    // The zoom root's child that holds a double-clicked node, if it opens.
    [[nodiscard]] FileNode* doubleClickTarget(const FileNode* clicked, const View& view) const;
    // The folder whose subfolders collapse: the last selected if it opens, else its folder.
    [[nodiscard]] FileNode* collapseTarget(const View& view) const;
    // The folder a rescan goes to: the first actionable item if it is a plain folder,
    // else its folder. The root (or null, with nothing selected) asks for a full scan.
    [[nodiscard]] FileNode* rescanTarget(const View& view) const;

    struct TrashOutcome {
        std::vector<FileNode*> moved; // their files are in the Trash; still in the tree
        QStringList failures; // "name: reason", for the user
    };
    // Moves the files of `nodes` to the Trash through `workspace`; nodes no longer in the
    // tree (a rescan replaced them meanwhile) are not touched.
    [[nodiscard]] TrashOutcome moveToTrash(std::span<FileNode* const> nodes, Workspace& workspace) const;
    // Where the zoom goes when `moved` leave the tree: the folder of one that is or holds
    // the zoom root, else the zoom root itself.
    [[nodiscard]] FileNode* zoomAfterRemoving(std::span<FileNode* const> moved, FileNode* zoomRoot) const;

private:
    const TallyfernDocument& m_document;
};
