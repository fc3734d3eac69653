// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The bytes of saved scans, looked at 8 at a time: millions of names, nearly all plain,
// and millions of whole numbers. A JSON string holds every byte as it is but the quote,
// the backslash and the control characters (bytes that are not UTF-8 included, as ncdu
// writes them).
namespace JsonBytes {

inline constexpr auto kPlain = [] {
    std::array<bool, 256> plain {};
    for (int c = 0x20; c < 256; ++c)
        plain[std::size_t(c)] = c != '"' && c != '\\';
    return plain;
}();

// 8 bytes as one word whose lowest byte is the first, whatever the machine's byte order.
[[nodiscard]] inline std::uint64_t load(const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// Which of the bytes of a load()ed word are not plain: the top bit of each such byte may be
// set. Bits above the first such byte can be false alarms; the lowest one never is.
[[nodiscard]] inline std::uint64_t notPlainMask(std::uint64_t word)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    const std::uint64_t below20 = (word - ones * 0x20) & ~word & highs;
    return below20 | hasZero(word ^ (ones * '"')) | hasZero(word ^ (ones * '\\'));
}

// The index of the first byte a non-zero mask marks.
[[nodiscard]] inline std::size_t firstMarked(std::uint64_t mask)
{
    return std::size_t(std::countr_zero(mask)) / 8;
}

// The first byte in [begin, end) that is not plain, or end.
[[nodiscard]] inline const char* plainEnd(const char* begin, const char* end)
{
    for (; end - begin >= 8; begin += 8)
        if (const std::uint64_t mask = notPlainMask(load(begin)))
            return begin + firstMarked(mask);
    while (begin != end && kPlain[static_cast<unsigned char>(*begin)])
        ++begin;
    return begin;
}

inline constexpr std::uint64_t kPowersOfTen[9]
    = { 1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000 };

struct Digits {
    std::size_t count; // 0 to 8
    std::uint64_t value;
};

// The digits a load()ed word begins with: sizes and times are millions of numbers.
[[nodiscard]] inline Digits leadingDigits(std::uint64_t word)
{
    constexpr std::uint64_t highNibbles = 0xF0F0F0F0F0F0F0F0u, zeros = 0x3030303030303030u,
                            sixes = 0x0606060606060606u;
    // A digit's high nibble is 3, and stays 3 with 6 added. Carries only reach bytes after
    // the first that is not a digit.
    const std::uint64_t notDigit = ((word & highNibbles) ^ zeros) | (((word + sixes) & highNibbles) ^ zeros);
    const std::size_t count = notDigit ? std::size_t(std::countr_zero(notDigit)) / 8 : 8;
    if (count == 0)
        return { 0, 0 };
    // The digits moved up to the last bytes, zeros before them; then 8 digits make their
    // value in three steps of two lanes each.
    std::uint64_t v = (word - zeros) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = ((v & 0x000000FF000000FFu) * 0x000F424000000064u
            + ((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)
        >> 32;
    return { count, v };
}

} // namespace JsonBytes
