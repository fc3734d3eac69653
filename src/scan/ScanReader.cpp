// SPDX-License-Identifier: MIT
#include "scan/ScanReader.h"

#include "scan/FolderFinisher.h"
#include "scan/InodeKey.h"
#include "scan/JsonBytes.h"
#include "scan/JsonCursor.h"
#include "scan/ScanStream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::uint64_t kMaxSize = std::uint64_t(std::numeric_limits<std::int64_t>::max());

// One info object as read, but for its name; what the file leaves out keeps these defaults.
struct Info {
    bool hasName = false;
    std::uint64_t asize = 0;
    std::uint64_t dsize = 0;
    std::optional<std::uint64_t> dev;
    std::optional<std::uint64_t> ino;
    std::optional<std::uint64_t> nlink;
    std::optional<std::uint64_t> mode;
    std::uint32_t mtime = 0; // as a node keeps it
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

enum class Key : std::uint8_t {
    Name,
    Asize,
    Dsize,
    Dev,
    Ino,
    Nlink,
    Mode,
    Mtime,
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
        case 'm':
            return is("mtime", Key::Mtime);
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

struct NameBytes {
    bool slash = false;
    bool nul = false;
};

// Which of the two bytes a name may not hold it holds: 8 bytes at a time (the last word
// overlapping the one before), for millions of names.
NameBytes nameBytes(std::string_view name)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    std::uint64_t slash = 0, nul = 0;
    const auto take = [&](std::uint64_t word) {
        const auto zeros = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
        slash |= zeros(word ^ (ones * '/'));
        nul |= zeros(word);
    };
    const char* bytes = name.data();
    const std::size_t size = name.size();
    if (size >= 8) {
        for (std::size_t i = 0; i + 8 < size; i += 8)
            take(JsonBytes::load(bytes + i));
        take(JsonBytes::load(bytes + size - 8));
    } else if (size >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, bytes, 4);
        std::memcpy(&last, bytes + size - 4, 4);
        take(first | std::uint64_t(last) << 32);
    } else {
        for (std::size_t i = 0; i < size; ++i) {
            slash |= bytes[i] == '/';
            nul |= bytes[i] == '\0';
        }
    }
    return NameBytes { slash != 0, nul != 0 };
}

class Parser {
public:
    Parser(ScanSource& source, const std::atomic<bool>* cancel, std::atomic<std::int64_t>* entriesRead)
        : m_json(source)
        , m_cancel(cancel)
        , m_entriesRead(entriesRead)
    {
    }

    SavedScan parse();
    [[nodiscard]] std::uint64_t offset() const { return m_json.offset(); }
    void stopReading() { m_json.stopReading(); }

private:
    Key readKey();
    std::uint32_t readTime();
    // Into `info` and m_name.
    void readInfo(Info& info);
    void readMetadata(ScanMetadata& metadata);

    // ---- tree ----
    struct Frame {
        FileNode* folder;
        std::size_t firstChild; // index into m_children
        std::uint64_t dev;
    };
    // The entry just read (`info` and m_name), checked.
    FileNode* makeNode(Info& info, FileNode* parent, std::uint64_t dev, bool folder);
    void closeFolder();

    JsonCursor m_json;
    const std::atomic<bool>* m_cancel;
    std::atomic<std::int64_t>* m_entriesRead;

    SavedScan m_scan;
    std::vector<Frame> m_frames;
    std::vector<FileNode*> m_children; // the children read so far of every open folder
    std::unordered_set<InodeKey, InodeKeyHash> m_seenInodes;
    std::uint64_t m_allocatedTotal = 0;
    std::uint64_t m_logicalTotal = 0;
    std::uint64_t m_entries = 0;
    std::string m_key;
    std::string m_name; // the name of the entry being read, its buffer kept from entry to entry
    std::string m_scratch;
    // Last, so that it stops (and lets go of the tree) before anything else goes.
    FolderFinisher m_finisher;
};

// Keys are looked at in the buffer as they stand; one with an escape (or split by the
// buffer's end) is read out.
Key Parser::readKey()
{
    // The keys of nearly every entry, with their quotes and colon, are matched as one word.
    struct Common {
        std::uint64_t word;
        std::uint64_t mask;
        std::size_t length;
        Key key;
    };
    static constexpr auto common = [](std::string_view text, Key key) {
        std::uint64_t word = 0;
        for (std::size_t i = text.size(); i-- > 0;)
            word = word << 8 | static_cast<unsigned char>(text[i]);
        return Common { word, ~std::uint64_t(0) >> (64 - 8 * text.size()), text.size(), key };
    };
    static constexpr Common kCommon[] = {
        common("\"name\":", Key::Name),
        common("\"asize\":", Key::Asize),
        common("\"dsize\":", Key::Dsize),
        common("\"mtime\":", Key::Mtime),
    };
    m_json.nextToken();
    const std::uint64_t word = m_json.peekWord();
    for (const Common& c : kCommon) {
        if ((word & c.mask) == c.word) {
            m_json.pass(c.length);
            return c.key;
        }
    }
    std::string_view key;
    if (m_json.takePlainKey(key))
        return keyOf(key);
    m_json.readString(m_key, 64);
    m_json.expect(':');
    return keyOf(m_key);
}

// A time before 1970 comes negative from gdu and as its 64-bit two's complement from ncdu:
// either is the oldest a node keeps.
std::uint32_t Parser::readTime()
{
    if (m_json.nextToken() == '-') {
        m_json.skipValue();
        return FileNode::clampTime(-1);
    }
    return FileNode::clampTime(std::int64_t(m_json.readWhole("mtime", UINT64_MAX)));
}

void Parser::readInfo(Info& info)
{
    info = Info();
    m_json.expect('{');
    if (m_json.nextToken() == '}') {
        m_json.skip();
        m_json.fail("an entry without a name");
    }
    for (;;) {
        switch (readKey()) {
        case Key::Name:
            m_json.readString(m_name, FileNode::kMaxNameLength);
            info.hasName = true;
            break;
        case Key::Asize:
            info.asize = m_json.readSize("size");
            break;
        case Key::Dsize:
            info.dsize = m_json.readSize("size");
            break;
        case Key::Dev:
            info.dev = m_json.readSize("dev");
            break;
        case Key::Ino:
            info.ino = m_json.readSize("ino");
            break;
        case Key::Nlink:
            info.nlink = m_json.readSize("nlink");
            break;
        case Key::Mode:
            info.mode = m_json.readSize("mode");
            break;
        case Key::Mtime:
            info.mtime = readTime();
            break;
        case Key::Hlnkc:
            info.hlnkc = m_json.readBool();
            break;
        case Key::ReadError:
            info.readError = m_json.readBool();
            break;
        case Key::Notreg:
            info.notreg = m_json.readBool();
            break;
        case Key::Excluded:
            if (m_json.nextToken() == '"') {
                m_json.readString(m_scratch, 64);
                info.excluded = exclusionFrom(m_scratch);
            } else if (m_json.readBool()) {
                info.excluded = EntryNote::Exclusion::Unknown;
            }
            break;
        case Key::Other:
            m_json.skipValue();
            break;
        }
        const int c = m_json.nextToken();
        if (c != ',' && c != '}')
            m_json.unexpected("',' or '}'");
        m_json.skip();
        if (c == '}')
            break;
    }
    if (!info.hasName)
        m_json.fail("an entry without a name");
}

void Parser::readMetadata(ScanMetadata& metadata)
{
    m_json.expect('{');
    if (m_json.nextToken() == '}') {
        m_json.skip();
        return;
    }
    for (;;) {
        m_json.readString(m_key, 4096);
        m_json.expect(':');
        const int c = m_json.nextToken();
        std::string* text = m_key == "progname" ? &metadata.progname
            : m_key == "progver"                ? &metadata.progver
            : m_key == "host"                   ? &metadata.host
            : m_key == "volume_path"            ? &metadata.volumePath
                                                : nullptr;
        std::optional<std::int64_t>* number = m_key == "timestamp" ? &metadata.timestamp
            : m_key == "volume_capacity"                           ? &metadata.capacity
            : m_key == "volume_available"                          ? &metadata.available
                                                                   : nullptr;
        // Metadata only informs: a value of another type is passed over, not refused.
        if (text && c == '"')
            m_json.readString(*text, 4096);
        else if (number && c >= '0' && c <= '9')
            *number = std::int64_t(m_json.readSize(m_key.c_str()));
        else
            m_json.skipValue();
        const int next = m_json.nextToken();
        if (next != ',' && next != '}')
            m_json.unexpected("',' or '}'");
        m_json.skip();
        if (next == '}')
            return;
    }
}

FileNode* Parser::makeNode(Info& info, FileNode* parent, std::uint64_t dev, bool folder)
{
    const std::string_view name = m_name;
    const NameBytes bytes = nameBytes(name);
    if (bytes.nul)
        m_json.fail("a name holding a NUL byte");
    if (parent) {
        if (name.empty() || name == "." || name == ".." || bytes.slash)
            m_json.fail("an invalid name \"" + m_name + "\" (empty, \".\", \"..\" or holding '/')");
    } else if (name.empty()) {
        m_json.fail("the scanned folder has no name");
    }

    const bool excluded = info.excluded != EntryNote::Exclusion::None;
    if (folder || excluded) {
        // An excluded entry is an empty item, whether the file said it was a folder or not.
        NodeFlags flags = NodeFlags::Directory;
        if (info.readError)
            flags.insert(NodeFlags::Unreadable);
        if (excluded)
            flags.insert(NodeFlags::Excluded);
        FileNode* node = m_scan.tree.arena.make(name, parent, 0, 0, 0, 2, flags);
        if (excluded)
            m_scan.tree.notes.push_back(EntryNote { node, dev, 0, 0, 0, 0, false, info.excluded });
        else
            node->mtime = info.mtime;
        return node;
    }

    // Every folder total is at most the sum of all files, so no sum below can overflow.
    if (info.dsize > kMaxSize - m_allocatedTotal || info.asize > kMaxSize - m_logicalTotal)
        m_json.fail("the sizes add up past 2^63-1");
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
    // ncdu -e writes a mode of 0 where it read none: no file type, so no answer.
    const bool typed = info.mode && (*info.mode & S_IFMT) != 0;
    const bool symlink = info.notreg && (typed ? S_ISLNK(mode_t(*info.mode)) : info.asize > 0);
    FileNode* node = m_scan.tree.arena.make(
        name, parent, allocated, logical, 1, 2, symlink ? NodeFlags::Symlink : NodeFlags());
    node->mtime = info.mtime;
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
    std::uint32_t newest = frame.folder->mtime;
    for (const FileNode* child : frame.folder->children()) {
        size += child->size;
        logical += child->logicalSize;
        files += child->fileCount;
        newest = std::max(newest, child->mtime);
    }
    frame.folder->size = size;
    frame.folder->logicalSize = logical;
    frame.folder->fileCount = FileNode::clampCount(files);
    frame.folder->mtime = newest;
    m_finisher.add(frame.folder);
    ++m_scan.directories;
    if (frame.folder->flags.contains(NodeFlags::Unreadable))
        ++m_scan.unreadable;
}

SavedScan Parser::parse()
{
    m_json.expect('[');
    const std::uint64_t major = m_json.readSize("major version");
    if (major != 1)
        m_json.fail("format version " + std::to_string(major) + " is not supported (only version 1 is)");
    m_json.expect(',');
    (void)m_json.readSize("minor version");
    m_json.expect(',');
    readMetadata(m_scan.metadata);
    m_json.expect(',');
    m_json.expect('[');

    Info info;
    readInfo(info);
    m_scan.tree.root = makeNode(info, nullptr, info.dev.value_or(0), true);
    m_frames.push_back(Frame { m_scan.tree.root, 0, info.dev.value_or(0) });
    while (!m_frames.empty()) {
        const int c = m_json.nextToken();
        if (c == ']') {
            m_json.skip();
            closeFolder();
            continue;
        }
        if (c != ',')
            m_json.unexpected("',' or ']'");
        m_json.skip();
        if ((++m_entries & 0xFFF) == 0) {
            if (m_cancel && m_cancel->load(std::memory_order_relaxed))
                m_json.fail("cancelled");
            if (m_entriesRead)
                m_entriesRead->store(std::int64_t(m_entries), std::memory_order_relaxed);
        }
        Frame& top = m_frames.back();
        const int open = m_json.nextToken();
        if (open == '[') {
            m_json.skip();
            readInfo(info);
            const std::uint64_t dev = info.dev.value_or(top.dev);
            FileNode* folder = makeNode(info, top.folder, dev, true);
            m_children.push_back(folder);
            m_frames.push_back(Frame { folder, m_children.size(), dev });
        } else if (open == '{') {
            readInfo(info);
            m_children.push_back(makeNode(info, top.folder, info.dev.value_or(top.dev), false));
        } else {
            m_json.unexpected("'[' or '{'");
        }
    }
    // Values after the tree are for later versions of the format.
    while (m_json.nextToken() == ',') {
        m_json.skip();
        m_json.skipValue();
    }
    m_json.expect(']');
    if (m_json.nextToken() >= 0)
        m_json.fail("unexpected data after the end of the scan");
    if (std::string error = m_finisher.finish(); !error.empty())
        m_json.fail(error);
    return std::move(m_scan);
}

} // namespace

namespace ScanReader {

bool isSavedScan(const std::string& path)
{
    struct stat st { };
    if (path == "-" || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    for (const std::string_view suffix : { ".json", ".json.gz", ".json.zst" })
        if (path.size() > suffix.size() && path.ends_with(suffix))
            return true;
    ScanSource source(path);
    char head[256];
    std::size_t length = 0;
    while (length < sizeof head) {
        const long n = source.read(head + length, sizeof head - length);
        if (n <= 0)
            break;
        length += std::size_t(n);
    }
    // [MAJOR, MINOR, {
    std::size_t i = 0;
    const auto spaces = [&] {
        while (i < length && (head[i] == ' ' || head[i] == '\t' || head[i] == '\n' || head[i] == '\r'))
            ++i;
    };
    const auto take = [&](char c) {
        spaces();
        return i < length && head[i] == c ? (++i, true) : false;
    };
    const auto number = [&] {
        spaces();
        const std::size_t start = i;
        while (i < length && head[i] >= '0' && head[i] <= '9')
            ++i;
        return i > start;
    };
    return take('[') && number() && take(',') && number() && take(',') && take('{');
}

std::optional<SavedScan> read(ScanSource& source, std::string& error, const std::atomic<bool>* cancel,
    std::atomic<std::int64_t>* entriesRead)
{
    if (!source.error().empty()) {
        error = source.error();
        return std::nullopt;
    }
    Parser parser(source, cancel, entriesRead);
    try {
        return parser.parse();
    } catch (const JsonCursor::Error& e) {
        parser.stopReading();
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
