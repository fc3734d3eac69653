// SPDX-License-Identifier: MIT
#include "scan/ScanReader.h"

#include "scan/InodeKey.h"
#include "scan/ScanStream.h"
#include "scan/Scanner.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::size_t kBufferBytes = std::size_t(1) << 20;
constexpr std::uint64_t kMaxSize = std::uint64_t(std::numeric_limits<std::int64_t>::max());

// One info object as read; what the file leaves out keeps these defaults.
struct Info {
    std::string name;
    bool hasName = false;
    std::uint64_t asize = 0;
    std::uint64_t dsize = 0;
    std::optional<std::uint64_t> dev;
    std::optional<std::uint64_t> ino;
    std::optional<std::uint64_t> nlink;
    std::optional<std::uint64_t> mode;
    bool hlnkc = false;
    bool readError = false;
    bool notreg = false;
    EntryNote::Exclusion excluded = EntryNote::Exclusion::None;
};

EntryNote::Exclusion exclusionFrom(std::string_view reason)
{
    if (reason == "pattern")
        return EntryNote::Exclusion::Pattern;
    if (reason == "otherfs" || reason == "othfs")
        return EntryNote::Exclusion::OtherFs;
    if (reason == "kernfs")
        return EntryNote::Exclusion::KernFs;
    if (reason == "frmlnk")
        return EntryNote::Exclusion::FirmLink;
    return EntryNote::Exclusion::Unknown;
}

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

enum class Key : std::uint8_t {
    Name,
    Asize,
    Dsize,
    Dev,
    Ino,
    Nlink,
    Mode,
    Hlnkc,
    ReadError,
    Notreg,
    Excluded,
    Other
};

// Millions of keys: one comparison each, picked by length and first letter.
Key keyOf(std::string_view key)
{
    auto is = [&](std::string_view known, Key k) {
        return std::memcmp(key.data(), known.data(), known.size()) == 0 ? k : Key::Other;
    };
    switch (key.size()) {
    case 3:
        return key[0] == 'd' ? is("dev", Key::Dev) : is("ino", Key::Ino);
    case 4:
        return key[0] == 'n' ? is("name", Key::Name) : is("mode", Key::Mode);
    case 5:
        switch (key[0]) {
        case 'a':
            return is("asize", Key::Asize);
        case 'd':
            return is("dsize", Key::Dsize);
        case 'h':
            return is("hlnkc", Key::Hlnkc);
        case 'n':
            return is("nlink", Key::Nlink);
        default:
            return Key::Other;
        }
    case 6:
        return is("notreg", Key::Notreg);
    case 8:
        return is("excluded", Key::Excluded);
    case 10:
        return is("read_error", Key::ReadError);
    default:
        return Key::Other;
    }
}

// Thrown inside the parser only, caught at its one entry point.
struct ParseError {
    std::string message;
};

// Checks the names and sorts the children of closed folders on a second thread while the
// parser reads on. A folder handed over is never touched by the parser again.
class Finisher {
public:
    Finisher()
    {
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // Without a thread the parser's own thread does the work at the end.
        }
    }
    ~Finisher() { (void)finish(); }
    Finisher(const Finisher&) = delete;
    Finisher& operator=(const Finisher&) = delete;

    void add(FileNode* folder)
    {
        m_batch.push_back(folder);
        if (m_batch.size() >= 512 && m_thread.joinable())
            handOver();
    }
    // Waits until every folder handed over is done; the first duplicate name found, or empty.
    [[nodiscard]] std::string finish()
    {
        if (m_thread.joinable()) {
            handOver();
            {
                std::lock_guard lock(m_mutex);
                m_done = true;
            }
            m_wake.notify_one();
            m_thread.join();
        }
        for (FileNode* folder : m_batch)
            finishOne(folder);
        m_batch.clear();
        return m_error;
    }

private:
    void handOver()
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(m_batch));
        }
        m_batch = {};
        m_wake.notify_one();
    }
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_done; });
            if (m_queue.empty())
                return;
            std::vector<FileNode*> batch = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            for (FileNode* folder : batch)
                finishOne(folder);
            lock.lock();
        }
    }
    void finishOne(FileNode* folder)
    {
        if (m_error.empty())
            checkNamesUnique(folder);
        folder->sortChildren();
    }
    void checkNamesUnique(const FileNode* folder);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<FileNode*>> m_queue; // guarded by m_mutex
    bool m_done = false; // guarded by m_mutex
    std::vector<FileNode*> m_batch; // the parser's, not yet handed over
    // The finishing thread's own, read by the parser only after the join.
    std::string m_error;
    std::vector<std::uint32_t> m_slots;
};

// An open-addressing table of child indexes, reused from folder to folder: no sorting
// and no allocation per folder.
void Finisher::checkNamesUnique(const FileNode* folder)
{
    const std::span<FileNode* const> children = folder->children();
    if (children.size() < 2)
        return;
    std::size_t capacity = 16;
    while (capacity < children.size() * 2)
        capacity *= 2;
    m_slots.assign(capacity, UINT32_MAX);
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const std::string_view name = children[i]->name();
        for (std::size_t slot = std::hash<std::string_view>()(name) & mask;; slot = (slot + 1) & mask) {
            if (m_slots[slot] == UINT32_MAX) {
                m_slots[slot] = std::uint32_t(i);
                break;
            }
            if (children[m_slots[slot]]->name() == name) {
                m_error = "the name \"" + std::string(name) + "\" appears twice in " + folder->path();
                return;
            }
        }
    }
}

class Parser {
public:
    Parser(ScanSource& source, const std::atomic<bool>* cancel)
        : m_source(source)
        , m_cancel(cancel)
        , m_buffer(new char[kBufferBytes])
    {
        m_p = m_end = m_buffer.get();
    }

    SavedScan parse();
    [[nodiscard]] std::uint64_t offset() const { return m_offset + std::uint64_t(m_p - m_buffer.get()); }

private:
    // ---- bytes ----
    bool refill()
    {
        m_offset += std::uint64_t(m_end - m_buffer.get());
        m_p = m_end = m_buffer.get();
        if (m_ended)
            return false;
        const long n = m_source.read(m_buffer.get(), kBufferBytes);
        if (n < 0)
            throw ParseError { m_source.error() };
        if (n == 0) {
            m_ended = true;
            return false;
        }
        m_end = m_buffer.get() + n;
        return true;
    }
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
    int nextToken()
    {
        for (;;) {
            const int c = peek();
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                return c;
            ++m_p;
        }
    }
    [[noreturn]] void fail(const std::string& what) { throw ParseError { what }; }
    [[noreturn]] void unexpected(const char* wanted)
    {
        const int c = peek();
        if (c < 0)
            fail(std::string("the file ends early (truncated?): expected ") + wanted);
        std::string seen
            = c >= 0x21 && c < 0x7f ? std::string("'") + char(c) + "'" : "byte " + std::to_string(c);
        fail(std::string("invalid JSON: expected ") + wanted + ", found " + seen);
    }
    void expect(char wanted)
    {
        if (nextToken() != static_cast<unsigned char>(wanted)) {
            const char text[4] = { '\'', wanted, '\'', 0 };
            unexpected(text);
        }
        ++m_p;
    }
    void expectWord(const char* rest) // after its first letter
    {
        for (; *rest; ++rest)
            if (get() != static_cast<unsigned char>(*rest))
                fail("invalid JSON: unknown word");
    }

    // ---- values ----
    void readString(std::string& out, std::size_t limit);
    std::uint64_t readSize(const char* what);
    bool readBool();
    void skipNumber();
    void skipValue();
    void readInfo(Info& info);
    void readMetadata(ScanMetadata& metadata);

    // ---- tree ----
    struct Frame {
        FileNode* folder;
        std::size_t firstChild; // index into m_children
        std::uint64_t dev;
    };
    FileNode* makeNode(Info& info, FileNode* parent, std::uint64_t dev, bool folder);
    void closeFolder();

    ScanSource& m_source;
    const std::atomic<bool>* m_cancel;
    std::unique_ptr<char[]> m_buffer;
    char* m_p = nullptr;
    char* m_end = nullptr;
    std::uint64_t m_offset = 0;
    bool m_ended = false;

    SavedScan m_scan;
    std::vector<Frame> m_frames;
    std::vector<FileNode*> m_children; // the children read so far of every open folder
    std::unordered_set<InodeKey, InodeKeyHash> m_seenInodes;
    std::uint64_t m_allocatedTotal = 0;
    std::uint64_t m_logicalTotal = 0;
    std::uint64_t m_entries = 0;
    std::string m_key;
    std::string m_scratch;
    // Last, so that it stops (and lets go of the tree) before anything else goes.
    Finisher m_finisher;
};

void Parser::readString(std::string& out, std::size_t limit)
{
    out.clear();
    if (nextToken() != '"')
        unexpected("a string");
    ++m_p;
    for (;;) {
        if (m_p == m_end && !refill())
            fail("the file ends early (truncated?) inside a string");
        // The plain run up to the next quote, escape or control character.
        char* run = m_p;
        while (run != m_end && *run != '"' && *run != '\\' && static_cast<unsigned char>(*run) >= 0x20)
            ++run;
        if (out.size() + std::size_t(run - m_p) > limit)
            fail("a string longer than " + std::to_string(limit) + " bytes");
        out.append(m_p, run);
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

std::uint64_t Parser::readSize(const char* what)
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
        if (value > (kMaxSize - std::uint64_t(c - '0')) / 10)
            tooLarge = true;
        else
            value = value * 10 + std::uint64_t(c - '0');
    }
    if (c == '.' || c == 'e' || c == 'E')
        fail(std::string("not a whole number: ") + what);
    if (tooLarge)
        fail(std::string(what) + " past 2^63-1");
    return value;
}

bool Parser::readBool()
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

void Parser::skipNumber()
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
void Parser::skipValue()
{
    std::vector<char> open;
    bool needValue = true;
    for (;;) {
        int c = nextToken();
        if (needValue) {
            needValue = false;
            if (c == '{' || c == '[') {
                ++m_p;
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

void Parser::readInfo(Info& info)
{
    // The name's buffer is kept from entry to entry.
    std::string name = std::move(info.name);
    info = Info();
    info.name = std::move(name);
    info.name.clear();
    expect('{');
    if (nextToken() == '}') {
        ++m_p;
        fail("an entry without a name");
    }
    for (;;) {
        readString(m_key, 64);
        expect(':');
        switch (keyOf(m_key)) {
        case Key::Name:
            readString(info.name, FileNode::kMaxNameLength);
            info.hasName = true;
            break;
        case Key::Asize:
            info.asize = readSize("size");
            break;
        case Key::Dsize:
            info.dsize = readSize("size");
            break;
        case Key::Dev:
            info.dev = readSize("dev");
            break;
        case Key::Ino:
            info.ino = readSize("ino");
            break;
        case Key::Nlink:
            info.nlink = readSize("nlink");
            break;
        case Key::Mode:
            info.mode = readSize("mode");
            break;
        case Key::Hlnkc:
            info.hlnkc = readBool();
            break;
        case Key::ReadError:
            info.readError = readBool();
            break;
        case Key::Notreg:
            info.notreg = readBool();
            break;
        case Key::Excluded:
            if (nextToken() == '"') {
                readString(m_scratch, 64);
                info.excluded = exclusionFrom(m_scratch);
            } else if (readBool()) {
                info.excluded = EntryNote::Exclusion::Unknown;
            }
            break;
        case Key::Other:
            skipValue();
            break;
        }
        const int c = nextToken();
        ++m_p;
        if (c == '}')
            break;
        if (c != ',') {
            --m_p;
            unexpected("',' or '}'");
        }
    }
    if (!info.hasName)
        fail("an entry without a name");
}

void Parser::readMetadata(ScanMetadata& metadata)
{
    expect('{');
    if (nextToken() == '}') {
        ++m_p;
        return;
    }
    for (;;) {
        readString(m_key, 4096);
        expect(':');
        const int c = nextToken();
        std::string* text = m_key == "progname" ? &metadata.progname
            : m_key == "progver"                ? &metadata.progver
            : m_key == "host"                   ? &metadata.host
                                                : nullptr;
        std::optional<std::int64_t>* number = m_key == "timestamp" ? &metadata.timestamp
            : m_key == "volume_capacity"                           ? &metadata.capacity
            : m_key == "volume_available"                          ? &metadata.available
                                                                   : nullptr;
        // Metadata only informs: a value of another type is passed over, not refused.
        if (text && c == '"')
            readString(*text, 4096);
        else if (number && c >= '0' && c <= '9')
            *number = std::int64_t(readSize(m_key.c_str()));
        else
            skipValue();
        const int next = nextToken();
        ++m_p;
        if (next == '}')
            return;
        if (next != ',') {
            --m_p;
            unexpected("',' or '}'");
        }
    }
}

FileNode* Parser::makeNode(Info& info, FileNode* parent, std::uint64_t dev, bool folder)
{
    const std::string_view name = info.name;
    if (parent) {
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
            fail("an invalid name \"" + info.name + "\" (empty, \".\", \"..\" or holding '/')");
    } else if (name.empty()) {
        fail("the scanned folder has no name");
    }
    if (name.find('\0') != std::string_view::npos)
        fail("a name holding a NUL byte");

    const bool excluded = info.excluded != EntryNote::Exclusion::None;
    if (folder || excluded) {
        // An excluded entry is an empty item shown like a folder that could not be read.
        NodeFlags flags = NodeFlags::Directory;
        if (info.readError || excluded)
            flags.insert(NodeFlags::Unreadable);
        FileNode* node = m_scan.tree.arena.make(name, parent, 0, 0, 0, 2, flags);
        if (excluded)
            m_scan.tree.notes.push_back(EntryNote { node, dev, 0, 0, 0, 0, false, info.excluded });
        return node;
    }

    // Every folder total is at most the sum of all files, so no sum below can overflow.
    if (info.dsize > kMaxSize - m_allocatedTotal || info.asize > kMaxSize - m_logicalTotal)
        fail("the sizes add up past 2^63-1");
    std::int64_t allocated = std::int64_t(info.dsize);
    std::int64_t logical = std::int64_t(info.asize);
    const bool hardLink = info.hlnkc && info.ino;
    if (hardLink) {
        if (!info.nlink)
            m_scan.hardLinksMayCountTwice = true;
        if (!m_seenInodes.insert(InodeKey { dev, *info.ino }).second)
            allocated = logical = 0;
    }
    m_allocatedTotal += std::uint64_t(allocated);
    m_logicalTotal += std::uint64_t(logical);
    const bool symlink = info.notreg && (info.mode ? S_ISLNK(mode_t(*info.mode)) : info.asize > 0);
    FileNode* node = m_scan.tree.arena.make(
        name, parent, allocated, logical, 1, 2, symlink ? NodeFlags::Symlink : NodeFlags());
    const bool special = info.notreg && !symlink;
    if (hardLink || special) {
        const std::uint32_t links
            = hardLink ? std::uint32_t(std::clamp<std::uint64_t>(info.nlink.value_or(2), 2, UINT32_MAX)) : 0;
        m_scan.tree.notes.push_back(EntryNote { node, dev, info.ino.value_or(0), std::int64_t(info.dsize),
            std::int64_t(info.asize), links, special, EntryNote::Exclusion::None });
    }
    return node;
}

void Parser::closeFolder()
{
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    const std::span<FileNode* const> children(
        m_children.data() + frame.firstChild, m_children.size() - frame.firstChild);
    // Parent links were set when the nodes were made: the finishing thread may be
    // reading them already.
    FileNode** array = m_scan.tree.arena.makeArray(children.size());
    if (!children.empty())
        std::memcpy(array, children.data(), children.size() * sizeof(FileNode*));
    frame.folder->setChildren(array, children.size());
    m_children.resize(frame.firstChild);
    // The sums here, for the parent's; the order on the finishing thread.
    std::int64_t size = 0, logical = 0, files = 0;
    for (const FileNode* child : frame.folder->children()) {
        size += child->size;
        logical += child->logicalSize;
        files += child->fileCount;
    }
    frame.folder->size = size;
    frame.folder->logicalSize = logical;
    frame.folder->fileCount = files;
    m_finisher.add(frame.folder);
    ++m_scan.directories;
    if (frame.folder->flags.contains(NodeFlags::Unreadable))
        ++m_scan.unreadable;
}

SavedScan Parser::parse()
{
    expect('[');
    const std::uint64_t major = readSize("major version");
    if (major != 1)
        fail("format version " + std::to_string(major) + " is not supported (only version 1 is)");
    expect(',');
    (void)readSize("minor version");
    expect(',');
    readMetadata(m_scan.metadata);
    expect(',');
    expect('[');

    Info info;
    readInfo(info);
    m_scan.tree.root = makeNode(info, nullptr, info.dev.value_or(0), true);
    m_frames.push_back(Frame { m_scan.tree.root, 0, info.dev.value_or(0) });
    while (!m_frames.empty()) {
        const int c = nextToken();
        if (c == ']') {
            ++m_p;
            closeFolder();
            continue;
        }
        if (c != ',')
            unexpected("',' or ']'");
        ++m_p;
        if ((++m_entries & 0xFFF) == 0 && m_cancel && m_cancel->load(std::memory_order_relaxed))
            fail("cancelled");
        Frame& top = m_frames.back();
        const int open = nextToken();
        if (open == '[') {
            ++m_p;
            readInfo(info);
            const std::uint64_t dev = info.dev.value_or(top.dev);
            FileNode* folder = makeNode(info, top.folder, dev, true);
            m_children.push_back(folder);
            m_frames.push_back(Frame { folder, m_children.size(), dev });
        } else if (open == '{') {
            readInfo(info);
            m_children.push_back(makeNode(info, top.folder, info.dev.value_or(top.dev), false));
        } else {
            unexpected("'[' or '{'");
        }
    }
    // Values after the tree are for later versions of the format.
    while (nextToken() == ',') {
        ++m_p;
        skipValue();
    }
    expect(']');
    if (nextToken() >= 0)
        fail("unexpected data after the end of the scan");
    if (std::string error = m_finisher.finish(); !error.empty())
        fail(error);
    return std::move(m_scan);
}

} // namespace

namespace ScanReader {

std::optional<SavedScan> read(ScanSource& source, std::string& error, const std::atomic<bool>* cancel)
{
    if (!source.error().empty()) {
        error = source.error();
        return std::nullopt;
    }
    Parser parser(source, cancel);
    try {
        return parser.parse();
    } catch (const ParseError& e) {
        // A failure of the file itself names the file already.
        if (!source.error().empty()) {
            error = e.message;
        } else {
            const char* where
                = source.compression() == ScanCompression::None ? "" : " of the decompressed data";
            error = (source.path() == "-" ? std::string("standard input") : source.path()) + ": byte "
                + std::to_string(parser.offset()) + where + ": " + e.message;
        }
    } catch (const std::bad_alloc&) {
        error = source.path() + ": not enough memory for the scan";
    }
    return std::nullopt;
}

} // namespace ScanReader
