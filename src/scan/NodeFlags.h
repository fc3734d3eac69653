// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>

// A set of node flags over one byte. No bit other than the members is ever set.
class NodeFlags {
public:
    enum Member : std::uint8_t {
        Directory = 0x01,
        Package = 0x02,
        Symlink = 0x04,
        Unreadable = 0x08,
        Pseudo = 0x10,
        Executable = 0x20, // a regular file with an execute bit: its kind when its name tells none
        // Left out by an exclude pattern: an empty item, never listed into or counted.
        Excluded = 0x80,
    };

    constexpr NodeFlags() = default;
    constexpr explicit NodeFlags(std::uint8_t raw)
        : m_raw(raw)
    {
    }
    constexpr NodeFlags(Member m)
        : m_raw(m)
    {
    } // NOLINT(google-explicit-constructor)
    constexpr NodeFlags(std::initializer_list<Member> members)
    {
        for (Member m : members)
            m_raw |= m;
    }

    [[nodiscard]] constexpr std::uint8_t raw() const { return m_raw; }
    [[nodiscard]] constexpr bool isEmpty() const { return m_raw == 0; }
    [[nodiscard]] constexpr bool contains(NodeFlags other) const
    {
        return (m_raw & other.m_raw) == other.m_raw;
    }
    [[nodiscard]] constexpr bool isSubset(NodeFlags of) const { return (m_raw & of.m_raw) == m_raw; }
    [[nodiscard]] constexpr bool isDisjoint(NodeFlags other) const { return (m_raw & other.m_raw) == 0; }

    constexpr void insert(NodeFlags other) { m_raw |= other.m_raw; }
    constexpr void remove(NodeFlags other) { m_raw &= static_cast<std::uint8_t>(~other.m_raw); }

    friend constexpr NodeFlags operator|(NodeFlags a, NodeFlags b)
    {
        return NodeFlags(std::uint8_t(a.m_raw | b.m_raw));
    }
    friend constexpr NodeFlags operator&(NodeFlags a, NodeFlags b)
    {
        return NodeFlags(std::uint8_t(a.m_raw & b.m_raw));
    }
    friend constexpr NodeFlags operator^(NodeFlags a, NodeFlags b)
    {
        return NodeFlags(std::uint8_t(a.m_raw ^ b.m_raw));
    }
    friend constexpr NodeFlags operator-(NodeFlags a, NodeFlags b)
    {
        return NodeFlags(std::uint8_t(a.m_raw & ~b.m_raw));
    }
    friend constexpr bool operator==(NodeFlags a, NodeFlags b) = default;

private:
    std::uint8_t m_raw = 0;
};

// Two members joined make a set, not an int.
constexpr NodeFlags operator|(NodeFlags::Member a, NodeFlags::Member b)
{
    return NodeFlags({ a, b });
}
