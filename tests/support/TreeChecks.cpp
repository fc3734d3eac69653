// SPDX-License-Identifier: MIT
#include "support/TreeChecks.h"

#include <sstream>

std::string treeFaults(const FileNode* root)
{
    std::string faults;
    int found = 0;
    const auto fault = [&](const std::string& line) {
        faults += line + "\n";
        ++found;
    };
    for (const FileNode* node : preOrder(root)) {
        if (found >= 20)
            break;
        if (!node->isDirectory()) {
            if (node->hasChildren())
                fault("children of a non-folder: " + node->path());
            continue;
        }
        std::int64_t size = 0, logical = 0, count = 0;
        const FileNode* previous = nullptr;
        for (const FileNode* child : node->children()) {
            if (child->parent != node)
                fault("wrong parent: " + child->path());
            if (previous && FileNode::precedes(*child, *previous))
                fault("out of order: " + node->path() + " at " + std::string(child->name()));
            size = FileNode::addSizes(size, child->size);
            logical = FileNode::addSizes(logical, child->logicalSize);
            count += child->fileCount;
            previous = child;
        }
        if (size != node->size || logical != node->logicalSize || count != node->fileCount) {
            std::ostringstream line;
            line << "totals of " << node->path() << ": " << node->size << "/" << node->logicalSize << "/"
                 << node->fileCount << ", children sum to " << size << "/" << logical << "/" << count;
            fault(line.str());
        }
    }
    return faults;
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

std::vector<std::pair<std::string, std::int64_t>> listing(const FileNode* folder)
{
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const FileNode* child : folder->children())
        out.emplace_back(std::string(child->name()), child->size);
    return out;
}

FileNode* nodeAt(const FileNode* root, std::string_view relative)
{
    FileNode* current = const_cast<FileNode*>(root);
    while (current && !relative.empty()) {
        const std::size_t slash = std::min(relative.find('/'), relative.size());
        FileNode* next = nullptr;
        for (FileNode* child : current->children())
            if (child->name() == relative.substr(0, slash))
                next = child;
        current = next;
        relative.remove_prefix(std::min(slash + 1, relative.size()));
    }
    return current;
}
