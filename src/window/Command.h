// SPDX-License-Identifier: MIT
#pragma once

// The commands of a document window. Menus, toolbar and context menus trigger them on
// the active document window; its canPerform() decides whether each is enabled.
enum class Command {
    RevealInFileManager,
    OpenItem,
    CopyPath,
    Copy,
    QuickLook,
    MoveToTrash,
    ZoomIn,
    ZoomOut,
    ZoomToTop,
    CollapseSubfolders,
    ToggleFreeSpace,
    TogglePackageContents,
    Rescan,
    RescanAll,
    SaveScanAs,
    OpenTerminal,
    CustomizeToolbar,
    Find,
    Preferences,
    ColorByAge,
    ShowApparentSizes,
};
