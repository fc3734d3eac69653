// SPDX-License-Identifier: MIT
#pragma once

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

    // Passes over `text` (a literal) when the buffer holds it next; false, with nothing
    // consumed, when it does not or when it straddles the buffer's end.
    template <std::size_t N> bool consume(const char (&text)[N])
    {
        if (std::size_t(m_end - m_p) < N - 1 || std::memcmp(m_p, text, N - 1) != 0)
            return false;
        m_p += N - 1;
        return true;
    }
    // The byte `ahead` places past the next one, or -1 when the buffer does not hold it.
    [[nodiscard]] int lookAhead(std::size_t ahead) const
    {
        return std::size_t(m_end - m_p) > ahead ? static_cast<unsigned char>(m_p[ahead]) : -1;
    }

    [[noreturn]] static void fail(const std::string& what) { throw Error { what }; }
    // Fails saying what was wanted and what came instead.
    [[noreturn]] void unexpected(const char* wanted);
    void expect(char wanted);
    // A string of at most `limit` bytes into `out`.
    void readString(std::string& out, std::size_t limit);
    // A whole number from 0 to 2^63-1; `what` names it in messages.
    std::uint64_t readSize(const char* what) { return readWhole(what, kLargestSize); }
    static constexpr std::uint64_t kLargestSize = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    // A whole number from 0 to `largest`.
    std::uint64_t readWhole(const char* what, std::uint64_t largest);
    bool readBool();
    // Any value, nesting tracked on the heap.
    void skipValue();

private:
    bool refill();
    void expectWord(const char* rest);
    void skipNumber();

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
