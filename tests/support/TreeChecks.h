// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The rules every finished or edited tree keeps, one line per broken one (at most 20),
// empty when it keeps them all: each folder's totals are the sums of its children, every
// child's parent is its folder, children are in child order, only folders have children.
// Sums stop at the largest size, as the scanner's do.
// Iterative, so trees of any depth are fine.
[[nodiscard]] std::string treeFaults(const FileNode* root);

// Every node of the subtree in pre-order, children in their order; iterative.
[[nodiscard]] std::vector<FileNode*> preOrder(const FileNode* root);

// Path, size, logical size, count, kind and flags of every node, in pre-order.
[[nodiscard]] std::vector<std::string> snapshot(const FileNode* root);

// Name and size of every child of `folder`, in order.
[[nodiscard]] std::vector<std::pair<std::string, std::int64_t>> listing(const FileNode* folder);

// The node at `relative` ("a/b/c") below `root`, "" being the root itself; null if absent.
[[nodiscard]] FileNode* nodeAt(const FileNode* root, std::string_view relative);
