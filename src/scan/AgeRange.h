// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

class FileNode;

// The oldest and newest modification times of the real items below and including a
// node, the ends of an age scale. Times not known (0) are left out; both ends are 0 when
// no item has one.
struct AgeRange {
    std::uint32_t oldest = 0;
    std::uint32_t newest = 0;

    // Walks the whole subtree without recursion; the caller keeps the tree still.
    [[nodiscard]] static AgeRange of(const FileNode* root);

    friend bool operator==(const AgeRange&, const AgeRange&) = default;
};
