// SPDX-License-Identifier: MIT
#include "support/TreeBuilder.h"

#include "support/TreeChecks.h"

#include <cmath>

TreeBuilder::TreeBuilder(std::string_view rootPath)
{
    m_tree.root = m_tree.arena.make(rootPath, nullptr, 0, 0, 0, 2, NodeFlags::Directory);
}

FileNode* TreeBuilder::folder(FileNode* parent, std::string_view name, NodeFlags extra)
{
    FileNode* node = m_tree.arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory | extra);
    m_pending[parent].push_back(node);
    return node;
}

FileNode* TreeBuilder::file(FileNode* parent, std::string_view name, std::int64_t size, std::int64_t logical)
{
    FileNode* node = m_tree.arena.make(name, parent, size, logical < 0 ? size : logical, 1, 2, NodeFlags());
    m_pending[parent].push_back(node);
    return node;
}

FileNode* TreeBuilder::symlink(FileNode* parent, std::string_view name, std::int64_t size)
{
    FileNode* node = m_tree.arena.make(name, parent, size, size, 1, 2, NodeFlags::Symlink);
    m_pending[parent].push_back(node);
    return node;
}

namespace {

void total(FileNode* folder)
{
    folder->size = folder->logicalSize = folder->fileCount = 0;
    for (const FileNode* child : folder->children()) {
        folder->size += child->size;
        folder->logicalSize += child->logicalSize;
        folder->fileCount += child->fileCount;
    }
    folder->sortChildren();
}

} // namespace

FileTree TreeBuilder::finish()
{
    for (auto& [folder, children] : m_pending)
        m_tree.arena.adoptChildren(folder, children);
    m_pending.clear();
    // Reverse pre-order totals every child before its folder.
    const std::vector<FileNode*> order = preOrder(m_tree.root);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if ((*it)->isDirectory())
            total(*it);
    return std::move(m_tree);
}

FileNode* TreeBuilder::file(std::string_view name, std::int64_t size, std::int32_t kind)
{
    return m_tree.arena.make(name, nullptr, size, size, 1, kind, NodeFlags {});
}

FileNode* TreeBuilder::folder(
    std::string_view name, std::vector<FileNode*> children, NodeFlags extra, std::int32_t kind)
{
    FileNode* node = m_tree.arena.make(name, nullptr, 0, 0, 0, kind, NodeFlags::Directory | extra);
    m_tree.arena.adoptChildren(node, children);
    total(node);
    return node;
}

FileNode* TreeBuilder::random(std::mt19937_64& rng, int maxDepth, int maxFanOut)
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

FileNode* TreeBuilder::chain(std::size_t depth, std::int64_t size, std::string_view leafName)
{
    FileNode* node = file(leafName, size);
    for (std::size_t i = 0; i < depth; ++i)
        node = folder("link", { node });
    return node;
}
