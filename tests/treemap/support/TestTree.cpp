// SPDX-License-Identifier: MIT
#include "TestTree.h"

#include <cmath>
#include <string>

FileNode* TestTree::file(std::string_view name, std::int64_t size, std::int32_t kind)
{
    return m_arena.make(name, nullptr, size, size, 1, kind, NodeFlags{});
}

FileNode* TestTree::folder(std::string_view name, std::initializer_list<FileNode*> children, NodeFlags extra,
                           std::int32_t kind)
{
    return folder(name, std::vector<FileNode*>(children), extra, kind);
}

FileNode* TestTree::folder(std::string_view name, const std::vector<FileNode*>& children, NodeFlags extra,
                           std::int32_t kind)
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
    std::uniform_int_distribution<int> kind(5, 9);
    const int fanOut = std::uniform_int_distribution<int>(0, maxFanOut)(rng);
    std::vector<FileNode*> children;
    for (int i = 0; i < fanOut; ++i) {
        const std::string name = "n" + std::to_string(i);
        const int roll = percent(rng);
        if (maxDepth > 0 && roll < 30) {
            FileNode* sub = random(rng, maxDepth - 1, maxFanOut);
            if (percent(rng) < 15) {
                sub->flags.insert(NodeFlags::Package);
                sub->kind = 6;
            }
            children.push_back(sub);
        } else if (roll < 36) {
            children.push_back(file(name, 0, kind(rng)));
        } else {
            children.push_back(file(name, std::int64_t(std::pow(10.0, magnitude(rng))), kind(rng)));
        }
    }
    return folder("d", children);
}

FileNode* TestTree::chain(std::size_t depth, std::int64_t size)
{
    FileNode* node = file("leaf", size);
    for (std::size_t i = 0; i < depth; ++i)
        node = folder("link", {node});
    return node;
}

std::vector<FileNode*> allNodes(FileNode* root)
{
    std::vector<FileNode*> out{root};
    for (std::size_t i = 0; i < out.size(); ++i)
        for (FileNode* child : out[i]->children())
            out.push_back(child);
    return out;
}
