// SPDX-License-Identifier: MIT
#pragma once

#include "model/TallyfernDocument.h"
#include "scan/NodeArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Builds small trees by hand the way the scanner leaves them: every node kind 2, folder
// totals filled in and children in child order once finish() runs.
class TreeBuilder {
public:
    explicit TreeBuilder(std::string_view rootName = "/data");

    [[nodiscard]] FileNode* root() const { return m_tree.root; }
    FileNode* folder(FileNode* parent, std::string_view name, NodeFlags extra = {});
    // `logical` defaults to `size`.
    FileNode* file(FileNode* parent, std::string_view name, std::int64_t size, std::int64_t logical = -1);
    FileNode* symlink(FileNode* parent, std::string_view name, std::int64_t size);

    // Fills in folder totals bottom-up and sorts every children list, iteratively.
    [[nodiscard]] FileTree finish();

private:
    FileTree m_tree;
    // Children collected per folder until finish().
    std::unordered_map<FileNode*, std::vector<FileNode*>> m_pending;
    void add(FileNode* parent, FileNode* child);
};

// Totals equal the sums of the children, every child's parent is its folder, every
// children list is in child order. Iterative, so deep trees are fine.
[[nodiscard]] ::testing::AssertionResult isConsistent(const FileNode* root);

// Name and size of every child of `folder`, in order.
[[nodiscard]] std::vector<std::pair<std::string, std::int64_t>> listing(const FileNode* folder);

// Every node of the subtree in pre-order, children in their order; iterative.
[[nodiscard]] std::vector<FileNode*> preOrder(const FileNode* root);

// Snapshot of a whole tree: path, size, logical size, count, kind and flags in pre-order.
[[nodiscard]] std::vector<std::string> snapshot(const FileNode* root);

// For documents that are not a whole volume.
[[nodiscard]] inline VolumeFactsProvider noVolume()
{
    return [](const std::string&) { return std::optional<VolumeFacts>(); };
}

inline constexpr std::int64_t kMB = 1'000'000;
inline constexpr std::int64_t kGB = 1'000'000'000;
