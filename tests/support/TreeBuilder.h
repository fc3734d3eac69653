// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string_view>
#include <unordered_map>
#include <vector>

// Builds trees in memory as a finished scan leaves them: folder totals are the sums of
// their children and every children list is in child order. Two ways, one arena:
//  - top down, below root(): totals and order come with finish(), which hands the tree
//    over;
//  - bottom up, detached nodes: a folder is totalled and sorted as it is made, and lives
//    as long as the builder.
// Every node is kind 2 (folder) unless given one; nothing is classified.
class TreeBuilder {
public:
    explicit TreeBuilder(std::string_view rootPath = "/data");

    [[nodiscard]] FileNode* root() const { return m_tree.root; }
    FileNode* folder(FileNode* parent, std::string_view name, NodeFlags extra = {});
    // `logical` defaults to `size`.
    FileNode* file(FileNode* parent, std::string_view name, std::int64_t size, std::int64_t logical = -1);
    FileNode* symlink(FileNode* parent, std::string_view name, std::int64_t size);
    // Totals and order bottom-up, iteratively; then the tree belongs to the caller.
    [[nodiscard]] FileTree finish();

    FileNode* file(std::string_view name, std::int64_t size, std::int32_t kind = 5);
    FileNode* folder(
        std::string_view name, std::vector<FileNode*> children, NodeFlags extra = {}, std::int32_t kind = 2);
    // Uneven fan-out, sizes over seven orders of magnitude, some zero sizes, empty folders
    // and packages (kind 6); files of kinds 5 to 9.
    FileNode* random(std::mt19937_64& rng, int maxDepth, int maxFanOut);
    // `depth` folders, each the only child of the one above, ending in one file.
    FileNode* chain(std::size_t depth, std::int64_t size, std::string_view leafName = "leaf");

private:
    FileTree m_tree;
    // Children collected per folder of the top-down tree until finish().
    std::unordered_map<FileNode*, std::vector<FileNode*>> m_pending;
};

inline constexpr std::int64_t kMB = 1'000'000;
inline constexpr std::int64_t kGB = 1'000'000'000;
