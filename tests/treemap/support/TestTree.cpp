// SPDX-License-Identifier: MIT
#include "TestTree.h"

#include <cmath>

FileNode* TestTree::file(std::string_view name, std::int64_t size, std::int32_t kind)
{
    return m_arena.make(name, nullptr, size, size, 1, kind, NodeFlags {});
}

FileNode* TestTree::folder(
    std::string_view name, const std::vector<FileNode*>& children, NodeFlags extra, std::int32_t kind)
{
    FileNode* node = m_arena.make(name, nullptr, 0, 0, 0, kind, NodeFlags::Directory | extra);
    for (FileNode* child : children) {
        node->size += child->size;
        node->logicalSize += child->logicalSize;
        node->fileCount += child->fileCount;
    }
    m_arena.adoptChildren(node, children);
    node->sortChildren();
    return node;
}

FileNode* TestTree::random(std::mt19937_64& rng, int maxDepth, int maxFanOut)
{
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_real_distribution<double> magnitude(0.0, 7.0);
    std::vector<FileNode*> children(std::size_t(std::uniform_int_distribution<int>(0, maxFanOut)(rng)));
    for (FileNode*& child : children) {
        const int roll = percent(rng);
        if (maxDepth > 0 && roll < 30) {
            child = random(rng, maxDepth - 1, maxFanOut);
            if (percent(rng) < 15) {
                child->flags.insert(NodeFlags::Package);
                child->kind = 6;
            }
        } else {
            const auto size = roll < 36 ? 0 : std::int64_t(std::pow(10.0, magnitude(rng)));
            child = file("f", size, std::uniform_int_distribution<std::int32_t>(5, 9)(rng));
        }
    }
    return folder("d", children);
}

FileNode* TestTree::chain(std::size_t depth, std::int64_t size)
{
    FileNode* node = file("leaf", size);
    for (std::size_t i = 0; i < depth; ++i)
        node = folder("link", { node });
    return node;
}

std::vector<FileNode*> allNodes(FileNode* root)
{
    std::vector<FileNode*> out { root };
    for (std::size_t i = 0; i < out.size(); ++i)
        out.insert(out.end(), out[i]->children().begin(), out[i]->children().end());
    return out;
}
