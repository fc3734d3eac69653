// SPDX-License-Identifier: MIT
#pragma once

#include "scan/NodeArena.h"

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string_view>
#include <vector>

// Builds trees for treemap tests. Folders get the sums of their children and child
// order, as a finished scan would leave them, unless a test sets sizes by hand.
class TestTree {
public:
    FileNode* file(std::string_view name, std::int64_t size, std::int32_t kind = 5);
    FileNode* folder(std::string_view name, std::initializer_list<FileNode*> children,
                     NodeFlags extra = {}, std::int32_t kind = 2);
    FileNode* folder(std::string_view name, const std::vector<FileNode*>& children,
                     NodeFlags extra = {}, std::int32_t kind = 2);

    // A random consistent tree: uneven fan-out, sizes spanning several orders of
    // magnitude, some zero sizes, empty folders and packages (kind 6).
    FileNode* random(std::mt19937_64& rng, int maxDepth, int maxFanOut);

    // A folder chain `depth` levels deep ending in one file of `size` bytes; returns
    // the top of the chain.
    FileNode* chain(std::size_t depth, std::int64_t size);

    NodeArena& arena() { return m_arena; }

private:
    NodeArena m_arena;
};

// Every node of the subtree, root first (iterative).
[[nodiscard]] std::vector<FileNode*> allNodes(FileNode* root);
