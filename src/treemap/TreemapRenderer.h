// SPDX-License-Identifier: MIT
#pragma once

#include "model/NodeSet.h"
#include "model/RGB.h"
#include "scan/FileNode.h"
#include "treemap/CancelToken.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Paints a tree as cushion-shaded rectangles. A plain value built afresh for each render.
//
// Threads: render() runs on a serial render queue, never on the main thread; its jobs
// run in parallel and paint disjoint pixels. The tree must not change meanwhile.
struct TreemapRenderer {
    std::vector<RGB> colors; // by kind identifier
    bool showPackageContents = false;
    std::optional<std::int32_t> highlightKind = std::nullopt;
    // Items whose leaves keep their colours while every other leaf is dimmed, as for a
    // highlighted kind (a folder lights everything inside it); null for none.
    std::shared_ptr<const NodeSet> highlightItems;
    // Set: leaves are coloured by their age at this time (seconds since 1970) on the
    // palette's age scale, instead of by kind.
    std::optional<std::int64_t> ageReference = std::nullopt;

    // A width × height ARGB32-premultiplied image, or a null image when not rendered
    // (size below 1, cancelled).
    [[nodiscard]] QImage render(const FileNode* root, int width, int height, const CancelToken& token,
        unsigned maxHelpers = ~0u) const;

    // Runs body(0) … body(count - 1) and returns when all have finished.
    using JobRunner = std::function<void(std::size_t count, const std::function<void(std::size_t)>& body)>;
    // render() with the parallel phase run by `runJobs` instead of the dispatch layer's
    // parallel-for: a seam for tests that must act while the jobs run.
    [[nodiscard]] QImage render(const FileNode* root, int width, int height, const CancelToken& token,
        const JobRunner& runJobs) const;

    // Base colour of a leaf (by kind, or by age), dimmed when another kind is highlighted or when items are
    // highlighted and the leaf is not `lit` (inside one of them).
    [[nodiscard]] RGB color(const FileNode& node, bool lit = false) const
    {
        return color(node.kind, node.mtime, lit);
    }
    [[nodiscard]] RGB color(std::int32_t kind, std::uint32_t mtime, bool lit) const;
    // Whether a child is lit, given its folder's answer.
    [[nodiscard]] bool lights(const FileNode* child, bool folderLit) const
    {
        return folderLit || (highlightItems && highlightItems->contains(child));
    }
};
