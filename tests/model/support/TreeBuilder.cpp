// SPDX-License-Identifier: MIT
#include "model/support/TreeBuilder.h"

#include <sstream>

TreeBuilder::TreeBuilder(std::string_view rootName)
{
    m_tree.root = m_tree.arena.make(rootName, nullptr, 0, 0, 0, 2, NodeFlags::Directory);
}

void TreeBuilder::add(FileNode* parent, FileNode* child)
{
    m_pending[parent].push_back(child);
}

FileNode* TreeBuilder::folder(FileNode* parent, std::string_view name, NodeFlags extra)
{
    FileNode* node = m_tree.arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory | extra);
    add(parent, node);
    return node;
}

FileNode* TreeBuilder::file(FileNode* parent, std::string_view name, std::int64_t size, std::int64_t logical)
{
    FileNode* node = m_tree.arena.make(name, parent, size, logical < 0 ? size : logical, 1, 2, NodeFlags());
    add(parent, node);
    return node;
}

FileNode* TreeBuilder::symlink(FileNode* parent, std::string_view name, std::int64_t size)
{
    FileNode* node = m_tree.arena.make(name, parent, size, size, 1, 2, NodeFlags::Symlink);
    add(parent, node);
    return node;
}

FileTree TreeBuilder::finish()
{
    for (auto& [folder, children] : m_pending)
        m_tree.arena.adoptChildren(folder, children);
    m_pending.clear();
    // Reverse pre-order totals every child before its folder.
    const std::vector<FileNode*> order = preOrder(m_tree.root);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        FileNode* node = *it;
        if (!node->isDirectory())
            continue;
        node->size = node->logicalSize = node->fileCount = 0;
        for (const FileNode* child : node->children()) {
            node->size += child->size;
            node->logicalSize += child->logicalSize;
            node->fileCount += child->fileCount;
        }
        node->sortChildren();
    }
    return std::move(m_tree);
}

::testing::AssertionResult isConsistent(const FileNode* root)
{
    for (const FileNode* node : preOrder(root)) {
        if (!node->isDirectory()) {
            if (node->hasChildren())
                return ::testing::AssertionFailure() << node->path() << " is not a folder but has children";
            continue;
        }
        std::int64_t size = 0, logical = 0, count = 0;
        const FileNode* previous = nullptr;
        for (const FileNode* child : node->children()) {
            if (child->parent != node)
                return ::testing::AssertionFailure() << child->path() << " has the wrong parent";
            if (previous && FileNode::precedes(*child, *previous))
                return ::testing::AssertionFailure()
                    << "children of " << node->path() << " out of order at " << child->name();
            size += child->size;
            logical += child->logicalSize;
            count += child->fileCount;
            previous = child;
        }
        if (size != node->size || logical != node->logicalSize || count != node->fileCount)
            return ::testing::AssertionFailure()
                << node->path() << " totals " << node->size << "/" << node->logicalSize << "/"
                << node->fileCount << " but children sum to " << size << "/" << logical << "/" << count;
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::pair<std::string, std::int64_t>> listing(const FileNode* folder)
{
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const FileNode* child : folder->children())
        out.emplace_back(std::string(child->name()), child->size);
    return out;
}

std::vector<std::string> snapshot(const FileNode* root)
{
    std::vector<std::string> out;
    for (const FileNode* node : preOrder(root)) {
        std::ostringstream line;
        line << node->path() << ' ' << node->size << ' ' << node->logicalSize << ' ' << node->fileCount
             << " k" << node->kind << " f" << int(node->flags.raw());
        out.push_back(line.str());
    }
    return out;
}

std::vector<FileNode*> preOrder(const FileNode* root)
{
    std::vector<FileNode*> order;
    std::vector<FileNode*> stack { const_cast<FileNode*>(root) };
    while (!stack.empty()) {
        FileNode* node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const auto children = node->children();
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}
