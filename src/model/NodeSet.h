// SPDX-License-Identifier: MIT
#pragma once

#include "scan/FileNode.h"

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

// Nodes to look up, built once from a list and then only read (by any thread). One flat
// table, open addressing, at most half full: for the hundreds of thousands of results of
// a broad search it builds in a fraction of the time of a hash set with a node per entry.
class NodeSet {
public:
    NodeSet() = default;
    explicit NodeSet(std::span<const FileNode* const> nodes)
        : m_slots(std::bit_ceil(2 * nodes.size() + 2), nullptr)
        , m_shift(64 - unsigned(std::countr_zero(m_slots.size())))
    {
        for (const FileNode* node : nodes) {
            std::size_t i = slotOf(node);
            while (node && m_slots[i] && m_slots[i] != node)
                i = (i + 1) & (m_slots.size() - 1);
            if (node && !m_slots[i]) {
                m_slots[i] = node;
                ++m_size;
            }
        }
    }
    NodeSet(std::initializer_list<const FileNode*> nodes)
        : NodeSet(std::span(nodes.begin(), nodes.size()))
    {
    }

    [[nodiscard]] bool contains(const FileNode* node) const
    {
        if (!node || m_slots.empty())
            return false;
        for (std::size_t i = slotOf(node);; i = (i + 1) & (m_slots.size() - 1)) {
            if (m_slots[i] == node)
                return true;
            if (!m_slots[i])
                return false;
        }
    }
    [[nodiscard]] std::size_t size() const { return m_size; }

private:
    // Fibonacci hashing: the top bits of the address times 2^64 / phi.
    [[nodiscard]] std::size_t slotOf(const FileNode* node) const
    {
        return std::size_t(
            (std::uint64_t(reinterpret_cast<std::uintptr_t>(node)) * 0x9e3779b97f4a7c15ull) >> m_shift);
    }

    std::vector<const FileNode*> m_slots; // a power of two of them; null: free
    unsigned m_shift = 64;
    std::size_t m_size = 0;
};
