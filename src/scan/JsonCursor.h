// SPDX-License-Identifier: MIT
#pragma once

#include "scan/JsonBytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

class ScanSource;

// Reads JSON tokens from a ScanSource through a fixed buffer, so that memory does not
// grow with the input. Strings keep their bytes as they are (no UTF-8 check: ncdu
// writes names that are not UTF-8), escapes decoded. Every failure throws Error, with
// offset() at the byte where it was found.
//
// Threads: one parser thread uses the object; reading a regular file ahead happens on a
// thread of the object's own, stopped by stopReading() or the destructor.
class JsonCursor {
public:
    struct Error {
        std::string message;
    };

    explicit JsonCursor(ScanSource& source);
    ~JsonCursor();
    JsonCursor(const JsonCursor&) = delete;
    JsonCursor& operator=(const JsonCursor&) = delete;

    // Bytes consumed so far.
    [[nodiscard]] std::uint64_t offset() const { return m_offset + std::uint64_t(m_p - m_buffer); }
    // Ends the reading ahead; the source is then the caller's alone again.
    void stopReading();

    // The next byte, or -1 at the end.
    int peek()
    {
        if (m_p == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(*m_p);
    }
    int get()
    {
        const int c = peek();
        if (c >= 0)
            ++m_p;
        return c;
    }
    // Passes over the byte peek() returned.
    void skip() { ++m_p; }
    // The next 8 bytes as JsonBytes::load() gives them when the buffer holds them, else 0
    // (which no text is), to match known text at once; pass() then goes over what matched.
    [[nodiscard]] std::uint64_t peekWord() const { return m_end - m_p >= 8 ? JsonBytes::load(m_p) : 0; }
    void pass(std::size_t bytes) { m_p += bytes; }
    // The next byte that is not white space, not consumed.
    int nextToken()
    {
        for (;;) {
            const int c = peek();
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                return c;
            ++m_p;
        }
    }

    [[noreturn]] static void fail(const std::string& what) { throw Error { what }; }
    // Fails saying what was wanted and what came instead.
    [[noreturn]] void unexpected(const char* wanted);
    void expect(char wanted);
    // A string of at most `limit` bytes into `out`.
    void readString(std::string& out, std::size_t limit);
    // The next string and the ':' right after it, when the buffer holds both and the string
    // is at most 7 plain bytes (as every key of an entry but a rare few): `key` then views
    // the buffer, until the next read. False, with nothing consumed, otherwise.
    [[nodiscard]] bool takePlainKey(std::string_view& key)
    {
        if (m_end - m_p < 10 || *m_p != '"')
            return false;
        const std::uint64_t mask = JsonBytes::notPlainMask(JsonBytes::load(m_p + 1));
        if (!mask)
            return false;
        const std::size_t length = JsonBytes::firstMarked(mask);
        if (m_p[length + 1] != '"' || m_p[length + 2] != ':')
            return false;
        key = std::string_view(m_p + 1, length);
        m_p += length + 3;
        return true;
    }
    // A whole number from 0 to 2^63-1; `what` names it in messages.
    std::uint64_t readSize(const char* what) { return readWhole(what, kLargestSize); }
    static constexpr std::uint64_t kLargestSize = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    // A whole number from 0 to `largest`.
    std::uint64_t readWhole(const char* what, std::uint64_t largest)
    {
        // Nearly always the number and what follows are in the buffer, and fewer than 20
        // digits cannot overflow: then up to 8 digits at a time. Anything else (a sign,
        // a fraction, the buffer's end, a failure) takes the careful way.
        constexpr std::ptrdiff_t kWords = 3, kSafeDigits = 19;
        const int c = nextToken();
        if (c >= '0' && c <= '9' && m_end - m_p >= 8 * kWords) {
            const char* p = m_p;
            std::uint64_t value = 0;
            for (std::ptrdiff_t word = 0; word < kWords; ++word) {
                const JsonBytes::Digits digits = JsonBytes::leadingDigits(JsonBytes::load(p));
                if (p - m_p + std::ptrdiff_t(digits.count) > kSafeDigits)
                    break;
                value = value * JsonBytes::kPowersOfTen[digits.count] + digits.value;
                p += digits.count;
                if (digits.count < 8) {
                    if (*p == '.' || *p == 'e' || *p == 'E' || value > largest)
                        break;
                    m_p += p - m_p;
                    return value;
                }
            }
        }
        return readWholeCarefully(what, largest);
    }
    bool readBool();
    // Any value, nesting tracked on the heap.
    void skipValue();

private:
    bool refill();
    void expectWord(const char* rest);
    void skipNumber();
    std::uint64_t readWholeCarefully(const char* what, std::uint64_t largest);

    ScanSource& m_source;
    struct ReadAhead;
    std::unique_ptr<ReadAhead> m_ahead; // absent: read on the parser's thread, into m_own
    std::unique_ptr<char[]> m_own;
    char* m_buffer = nullptr; // the buffer being parsed
    char* m_p = nullptr;
    char* m_end = nullptr;
    std::uint64_t m_offset = 0;
    bool m_ended = false;
    std::string m_scratch;
};
