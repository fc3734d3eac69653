// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

// The identity of a file on disk: its volume's device number and its inode number.
// Linux device numbers are 64-bit, so `dev` is too.
struct InodeKey {
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;

    friend bool operator==(const InodeKey&, const InodeKey&) = default;
};

struct InodeKeyHash {
    std::size_t operator()(const InodeKey& key) const noexcept
    {
        // Inode numbers are dense per volume; mix so that neighbours spread.
        std::uint64_t h = key.ino * 0x9E3779B97F4A7C15ull ^ (key.dev + 0x632BE59BD9B4E019ull);
        h ^= h >> 29;
        return static_cast<std::size_t>(h);
    }
};
