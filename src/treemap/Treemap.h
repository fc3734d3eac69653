// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"
#include "treemap/TMRect.h"

#include <optional>

// Rectangle lookup and hit testing over the squarified layout. Stateless: the layout is
// computed afresh on every call, through the same layoutChildren the renderer uses.
namespace Treemap {

// The rectangle `of` gets when `root` is laid out into `in`; absent when it gets none.
[[nodiscard]] std::optional<TMRect> rect(const FileNode* of, const FileNode* root, TMRect in,
                                         bool showPackageContents);

// The deepest node whose rectangle contains (x, y); null only when the point is outside
// `in` or the root's size is below 1.
[[nodiscard]] FileNode* hitTest(const FileNode* root, TMRect in, double x, double y,
                                bool showPackageContents);

} // namespace Treemap
