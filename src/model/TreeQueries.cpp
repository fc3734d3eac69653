// SPDX-License-Identifier: MIT
#include "model/TreeQueries.h"

#include <algorithm>
#include <unordered_set>

namespace TreeQueries {

bool isAttached(const FileNode* node, const FileNode* root)
{
    if (!node || !root)
        return false;
    for (const FileNode* child = node; child != root; child = child->parent) {
        if (!child->parent || child->parent->indexOfChild(child) < 0)
            return false;
    }
    return true;
}

std::vector<std::string> namesBelow(const FileNode* top, const FileNode* node)
{
    std::vector<std::string> names;
    for (const FileNode* n = node; n && n != top; n = n->parent)
        names.emplace_back(n->name());
    std::reverse(names.begin(), names.end());
    return names;
}

FileNode* findBelow(FileNode* top, const std::vector<std::string>& names)
{
    FileNode* current = top;
    for (const std::string& name : names) {
        const auto children = current->children();
        const auto found = std::find_if(children.begin(), children.end(),
            [&name](const FileNode* child) { return child->name() == name; });
        if (found == children.end())
            return nullptr;
        current = *found;
    }
    return current;
}

std::vector<FileNode*> outermost(std::span<FileNode* const> nodes)
{
    std::vector<FileNode*> candidates;
    for (FileNode* node : nodes)
        if (!node->flags.contains(NodeFlags::Pseudo))
            candidates.push_back(node);
    const std::unordered_set<const FileNode*> chosen(candidates.begin(), candidates.end());
    std::vector<FileNode*> result;
    for (FileNode* node : candidates) {
        bool covered = false;
        for (const FileNode* up = node->parent; up && !covered; up = up->parent)
            covered = chosen.contains(up);
        if (!covered)
            result.push_back(node);
    }
    return result;
}

UnreadableFolders unreadableFolders(const FileNode* root, std::size_t limit)
{
    UnreadableFolders found;
    if (!root)
        return found;
    std::vector<const FileNode*> pending { root };
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        if (node->flags.contains(NodeFlags::Unreadable) && !node->flags.contains(NodeFlags::Pseudo)) {
            if (found.paths.size() < limit)
                found.paths.push_back(node->path());
            ++found.total;
        }
        for (auto it = node->children().rbegin(); it != node->children().rend(); ++it)
            if ((*it)->isDirectory())
                pending.push_back(*it);
    }
    return found;
}

} // namespace TreeQueries
