// SPDX-License-Identifier: MIT
#include "scan/JsonCursor.h"

#include "scan/FileNode.h"
#include "scan/JsonBytes.h"
#include "scan/ScanStream.h"

#include <array>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Two of these are read ahead; small enough not to show in the memory per entry.
constexpr std::size_t kBufferBytes = std::size_t(256) << 10;
constexpr std::size_t kMaxSkippedDepth = 1000;

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

} // namespace

// Reads the next buffer on a thread of its own while the parser works through the
// current one (and, for compressed files, decompresses there). The two buffers change
// hands under `mutex`: `full[i]` set, the reader may not touch buffer i; clear, the
// parser may not.
struct JsonCursor::ReadAhead {
    explicit ReadAhead(ScanSource& s)
        : source(s)
    {
    }

    void run()
    {
        for (int i = 0;; i ^= 1) {
            std::unique_lock lock(mutex);
            cond.wait(lock, [&] { return !full[i] || stop; });
            if (stop)
                return;
            lock.unlock();
            const long n = source.read(storage[i].get(), kBufferBytes);
            lock.lock();
            size[i] = n;
            full[i] = true;
            cond.notify_all();
            if (n <= 0)
                return;
        }
    }

    ScanSource& source;
    std::unique_ptr<char[]> storage[2]
        = { std::make_unique<char[]>(kBufferBytes), std::make_unique<char[]>(kBufferBytes) };
    std::mutex mutex;
    std::condition_variable cond;
    long size[2] = { 0, 0 };
    bool full[2] = { false, false };
    bool stop = false;
    int current = -1; // the parser's buffer
    std::thread thread;
};

JsonCursor::JsonCursor(ScanSource& source)
    : m_source(source)
{
    // Only a regular file: a pipe may block a read for ever, and the thread must end
    // when the parse does.
    if (source.isRegularFile()) {
        try {
            auto ahead = std::make_unique<ReadAhead>(source);
            ahead->thread = std::thread([raw = ahead.get()] { raw->run(); });
            m_ahead = std::move(ahead);
        } catch (const std::system_error&) {
        }
    }
    if (!m_ahead)
        m_own = std::make_unique<char[]>(kBufferBytes);
    m_buffer = m_ahead ? m_ahead->storage[0].get() : m_own.get();
    m_p = m_end = m_buffer;
}

JsonCursor::~JsonCursor()
{
    stopReading();
}

void JsonCursor::stopReading()
{
    if (!m_ahead || !m_ahead->thread.joinable())
        return;
    {
        std::lock_guard lock(m_ahead->mutex);
        m_ahead->stop = true;
    }
    m_ahead->cond.notify_all();
    m_ahead->thread.join();
}

bool JsonCursor::refill()
{
    m_offset += std::uint64_t(m_end - m_buffer);
    m_p = m_end = m_buffer;
    if (m_ended)
        return false;
    long n;
    if (m_ahead) {
        ReadAhead& a = *m_ahead;
        std::unique_lock lock(a.mutex);
        if (a.current >= 0) {
            a.full[a.current] = false;
            a.cond.notify_all();
        }
        const int next = a.current < 0 ? 0 : a.current ^ 1;
        a.cond.wait(lock, [&] { return a.full[next]; });
        a.current = next;
        n = a.size[next];
        m_buffer = a.storage[next].get();
        m_p = m_end = m_buffer;
    } else {
        n = m_source.read(m_buffer, kBufferBytes);
    }
    if (n < 0)
        throw Error { m_source.error() };
    if (n == 0) {
        m_ended = true;
        return false;
    }
    m_end = m_buffer + n;
    return true;
}

void JsonCursor::unexpected(const char* wanted)
{
    const int c = peek();
    if (c < 0)
        fail(std::string("the file ends early (truncated?): expected ") + wanted);
    const std::string seen
        = c >= 0x21 && c < 0x7f ? std::string("'") + char(c) + "'" : "byte " + std::to_string(c);
    fail(std::string("invalid JSON: expected ") + wanted + ", found " + seen);
}

void JsonCursor::expect(char wanted)
{
    if (nextToken() != static_cast<unsigned char>(wanted)) {
        const char text[4] = { '\'', wanted, '\'', 0 };
        unexpected(text);
    }
    ++m_p;
}

void JsonCursor::expectWord(const char* rest) // after its first letter
{
    for (; *rest; ++rest)
        if (get() != static_cast<unsigned char>(*rest))
            fail("invalid JSON: unknown word");
}

void JsonCursor::readString(std::string& out, std::size_t limit)
{
    out.clear();
    if (nextToken() != '"')
        unexpected("a string");
    ++m_p;
    for (;;) {
        if (m_p == m_end && !refill())
            fail("the file ends early (truncated?) inside a string");
        // The plain run up to the next quote, escape or control character.
        char* run = m_p + (JsonBytes::plainEnd(m_p, m_end) - m_p);
        if (out.size() + std::size_t(run - m_p) > limit)
            fail("a string longer than " + std::to_string(limit) + " bytes");
        out.append(m_p, std::size_t(run - m_p));
        m_p = run;
        if (m_p == m_end)
            continue;
        const char c = *m_p++;
        if (c == '"')
            return;
        if (c != '\\')
            fail("invalid JSON: a control character inside a string");
        const int e = get();
        switch (e) {
        case '"':
            out.push_back('"');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case '/':
            out.push_back('/');
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u': {
            auto hex4 = [this]() {
                std::uint32_t v = 0;
                for (int i = 0; i < 4; ++i) {
                    const int h = get();
                    const int d = h >= '0' && h <= '9' ? h - '0'
                        : h >= 'a' && h <= 'f'         ? h - 'a' + 10
                        : h >= 'A' && h <= 'F'         ? h - 'A' + 10
                                                       : -1;
                    if (d < 0)
                        fail("invalid JSON: a bad \\u escape");
                    v = v * 16 + std::uint32_t(d);
                }
                return v;
            };
            std::uint32_t cp = hex4();
            if (cp >= 0xD800 && cp < 0xDC00 && peek() == '\\') {
                ++m_p;
                if (get() != 'u')
                    fail("invalid JSON: a bad escape after a high surrogate");
                const std::uint32_t low = hex4();
                cp = low >= 0xDC00 && low < 0xE000 ? 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00)
                                                   : 0xFFFD;
            } else if (cp >= 0xD800 && cp < 0xE000) {
                cp = 0xFFFD;
            }
            appendUtf8(out, cp);
            break;
        }
        default:
            fail(e < 0 ? "the file ends early (truncated?) inside a string"
                       : "invalid JSON: an unknown escape");
        }
        if (out.size() > limit)
            fail("a string longer than " + std::to_string(limit) + " bytes");
    }
}

std::uint64_t JsonCursor::readWholeCarefully(const char* what, std::uint64_t largest)
{
    int c = nextToken();
    if (c == '-')
        fail(std::string("a negative ") + what);
    if (c < '0' || c > '9')
        unexpected((std::string("a number for ") + what).c_str());
    std::uint64_t value = 0;
    bool tooLarge = false;
    while ((c = peek()) >= '0' && c <= '9') {
        ++m_p;
        tooLarge = tooLarge || __builtin_mul_overflow(value, 10u, &value)
            || __builtin_add_overflow(value, std::uint64_t(c - '0'), &value);
    }
    if (c == '.' || c == 'e' || c == 'E')
        fail(std::string("not a whole number: ") + what);
    if (tooLarge || value > largest)
        fail(std::string(what) + (largest == kLargestSize ? " past 2^63-1" : " too large"));
    return value;
}

bool JsonCursor::readBool()
{
    const int c = nextToken();
    if (c == 't') {
        ++m_p;
        expectWord("rue");
        return true;
    }
    if (c == 'f') {
        ++m_p;
        expectWord("alse");
        return false;
    }
    unexpected("true or false");
}

void JsonCursor::skipNumber()
{
    int c = peek();
    if (c == '-')
        ++m_p;
    bool digits = false;
    while ((c = peek()) >= 0
        && ((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
        digits |= c >= '0' && c <= '9';
        ++m_p;
    }
    if (!digits)
        fail("invalid JSON: a malformed number");
}

// Any JSON value, without keeping it; nesting is tracked on the heap.
void JsonCursor::skipValue()
{
    std::vector<char> open;
    bool needValue = true;
    for (;;) {
        int c = nextToken();
        if (needValue) {
            needValue = false;
            if (c == '{' || c == '[') {
                ++m_p;
                // Unknown values never nest deep; a file made of brackets must not cost
                // memory in proportion to its size.
                if (open.size() == kMaxSkippedDepth)
                    fail("a value nested deeper than " + std::to_string(kMaxSkippedDepth) + " levels");
                open.push_back(char(c));
                c = nextToken();
                if (c == (open.back() == '{' ? '}' : ']')) {
                    ++m_p;
                    open.pop_back();
                } else {
                    if (open.back() == '{') {
                        readString(m_scratch, FileNode::kMaxNameLength);
                        expect(':');
                    }
                    needValue = true;
                    continue;
                }
            } else if (c == '"') {
                readString(m_scratch, FileNode::kMaxNameLength);
            } else if (c == 't' || c == 'f') {
                (void)readBool();
            } else if (c == 'n') {
                ++m_p;
                expectWord("ull");
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                skipNumber();
            } else {
                unexpected("a value");
            }
        }
        if (open.empty())
            return;
        c = nextToken();
        if (c == ',') {
            ++m_p;
            if (open.back() == '{') {
                readString(m_scratch, FileNode::kMaxNameLength);
                expect(':');
            }
            needValue = true;
        } else if (c == (open.back() == '{' ? '}' : ']')) {
            ++m_p;
            open.pop_back();
            if (open.empty())
                return;
        } else {
            unexpected("',' or the end of a list");
        }
    }
}
