// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

// Builds trees for treemap tests. Folders get the sums of their children and child
// order, as a finished scan leaves them, unless a test changes sizes by hand.
class TestTree {
public:
    FileNode* file(std::string_view name, std::int64_t size, std::int32_t kind = 5);
    FileNode* folder(std::string_view name, const std::vector<FileNode*>& children, NodeFlags extra = {},
        std::int32_t kind = 2);
    // Uneven fan-out, sizes over seven orders of magnitude, some zero sizes, empty
    // folders and packages (kind 6).
    FileNode* random(std::mt19937_64& rng, int maxDepth, int maxFanOut);
    // `depth` folders, each the only child of the one above, ending in one file.
    FileNode* chain(std::size_t depth, std::int64_t size);

private:
    NodeArena m_arena;
};

// Every node of the subtree, root first.
[[nodiscard]] std::vector<FileNode*> allNodes(FileNode* root);
