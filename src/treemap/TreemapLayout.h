// SPDX-License-Identifier: MIT
#pragma once

#include "model/TreeQueries.h"
#include "scan/FileNode.h"
#include "treemap/TMRect.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <span>
#include <type_traits>
#include <utility>

// The one squarified layout step. Rendering, hit testing and rectangle lookup all call
// layoutChildren, so that the three agree to the last bit on every rectangle; keep any
// change to the arithmetic here, in this exact form.
namespace Treemap {

// True when `node` gets its children laid out inside `rect`; any other node is a leaf.
[[nodiscard]] inline bool isSubdivided(const FileNode& node, const TMRect& rect, bool showPackageContents)
{
    return TreeQueries::opensAsFolder(node, showPackageContents) && node.size >= 1 && !rect.isDegenerate();
}

namespace detail {
template <class Sink> bool offer(Sink& sink, FileNode* child, const TMRect& rect)
{
    if constexpr (std::is_same_v<std::invoke_result_t<Sink&, FileNode*, const TMRect&>, bool>) {
        return sink(child, rect);
    } else {
        sink(child, rect);
        return true;
    }
}
} // namespace detail

// Lays out the children of `parent` (in child order, largest first) into `rect` and calls
// sink(FileNode* child, const TMRect& childRect) for each child that gets a rectangle, in
// child order. A sink that returns bool stops the layout by returning false.
//
// `keepGoing(freeRect)` is asked before each row with the part of `rect` still free, in
// which every later child will lie; returning false ends the layout there. The renderer
// uses it to skip the long tails of children too small to reach a pixel; it never
// changes the rectangles that are yielded.
//
// `offerRow(from, to)` is asked once each row is known, with the row's extent across
// (from its top to its bottom for a row along the top, from its left to its right for
// one on the left), which every child of the row shares; returning false skips the
// sink for the whole row, and the layout goes on with the next. The renderer passes
// over rows too thin to hold a pixel centre. It never changes the rectangles yielded.
//
// The starting total is the parent's own size, not a fresh sum: in an inconsistent tree
// the difference is absorbed by the final row, which always fills what is left.
// Allocates nothing.
template <class Sink, class KeepGoing, class OfferRow>
void layoutChildren(
    const FileNode& parent, const TMRect& rect, Sink&& sink, KeepGoing&& keepGoing, OfferRow&& offerRow)
{
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const std::span<FileNode* const> children = parent.children();
    const std::size_t n = children.size();
    double x0 = rect.x0;
    double y0 = rect.y0;
    const double x1 = rect.x1;
    const double y1 = rect.y1;
    double remaining = double(parent.size);

    // A tree of millions of nodes fits no cache, and nodes straddle cache lines: ask
    // ahead of the row scan for each child's size and for the flags that the caller
    // reads next.
    constexpr std::size_t kPrefetchAhead = 32;
    const auto prefetch = [](const FileNode* child) {
        __builtin_prefetch(&child->size);
        __builtin_prefetch(&child->flags);
    };
    for (std::size_t p = 0; p < std::min(n, kPrefetchAhead); ++p)
        prefetch(children[p]);

    std::size_t i = 0;
    while (i < n) {
        if (children[i]->size < 1 || remaining <= 0)
            return;
        const double w = x1 - x0;
        const double h = y1 - y0;
        if (w <= 0 || h <= 0 || !keepGoing(TMRect { x0, y0, x1, y1 }))
            return;
        const double scale = w * h / remaining;
        const double side = w < h ? w : h;
        const double side2 = side * side;

        double rowSum = double(children[i]->size);
        const double first = scale * rowSum;
        const double first2 = first * first;
        double worst = (first <= 0 || first2 <= 0)
            ? kInfinity
            : std::max(side2 * first / first2, first2 / (side2 * first));

        bool isFinal = false;
        std::size_t j = i + 1;
        for (; j < n; ++j) {
            if (j + kPrefetchAhead < n)
                prefetch(children[j + kPrefetchAhead]);
            const double size = double(children[j]->size);
            if (children[j]->size < 1) {
                isFinal = true;
                break;
            }
            const double area = scale * size;
            const double s = scale * (rowSum + size);
            const double s2 = s * s;
            const double next
                = (area <= 0 || s2 <= 0) ? kInfinity : std::max(side2 * first / s2, s2 / (side2 * area));
            if (worst < next) // a tie joins the row
                break;
            rowSum += size;
            worst = next;
        }
        if (j == n || remaining <= rowSum)
            isFinal = true;

        if (w < h) {
            // A horizontal strip along the top, items left to right.
            const double bottom = isFinal ? y1 : y0 + h * (rowSum / remaining);
            double x = x0;
            for (std::size_t k = offerRow(y0, bottom) ? i : j; k < j; ++k) {
                const double right = k + 1 == j ? x1 : x + w * (double(children[k]->size) / rowSum);
                if (!detail::offer(sink, children[k], TMRect { x, y0, right, bottom }))
                    return;
                x = right;
            }
            y0 = bottom;
        } else {
            // A vertical strip on the left, items top to bottom.
            const double right = isFinal ? x1 : x0 + w * (rowSum / remaining);
            double y = y0;
            for (std::size_t k = offerRow(x0, right) ? i : j; k < j; ++k) {
                const double bottom = k + 1 == j ? y1 : y + h * (double(children[k]->size) / rowSum);
                if (!detail::offer(sink, children[k], TMRect { x0, y, right, bottom }))
                    return;
                y = bottom;
            }
            x0 = right;
        }
        remaining -= rowSum;
        i = j;
        if (isFinal)
            return;
    }
}

template <class Sink, class KeepGoing>
void layoutChildren(const FileNode& parent, const TMRect& rect, Sink&& sink, KeepGoing&& keepGoing)
{
    layoutChildren(parent, rect, std::forward<Sink>(sink), std::forward<KeepGoing>(keepGoing),
        [](double, double) { return true; });
}

template <class Sink> void layoutChildren(const FileNode& parent, const TMRect& rect, Sink&& sink)
{
    layoutChildren(parent, rect, std::forward<Sink>(sink), [](const TMRect&) { return true; });
}

} // namespace Treemap
