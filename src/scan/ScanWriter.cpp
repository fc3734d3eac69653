// SPDX-License-Identifier: MIT
#include "scan/ScanWriter.h"

#include "platform/VolumeFacts.h"
#include "scan/JsonBytes.h"
#include "scan/ScanStream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef TALLYFERN_VERSION
#define TALLYFERN_VERSION ""
#endif

namespace {

// At most this many bytes out per byte in.
constexpr std::size_t kEscapedBytesPerByte = 6;

// The bytes of a JSON string without its quotes: only '"', '\' and control characters are
// escaped, every other byte goes out as it is, so that names that are not UTF-8 survive (as
// ncdu does). `out` has room for kEscapedBytesPerByte times `size`; returns the end.
char* putEscaped(char* out, const char* bytes, std::size_t size)
{
    const char* const end = bytes + size;
    // Bytes from here on went out as they are, so that output and input run in step.
    const char* plainFrom = bytes;
    for (;;) {
        // Whole words go out as they are; one holding a byte to escape, up to that byte.
        bool marked = false;
        for (; end - bytes >= 8; bytes += 8, out += 8) {
            std::memcpy(out, bytes, 8);
            if (const std::uint64_t mask = JsonBytes::notPlainMask(JsonBytes::load(bytes))) {
                const std::size_t plain = JsonBytes::firstMarked(mask);
                bytes += plain;
                out += plain;
                marked = true;
                break;
            }
        }
        if (!marked) {
            // The rest as one word, read overlapping what went before: the last 8 bytes,
            // or for a short string its first and last 4.
            const std::size_t left = std::size_t(end - bytes);
            if (end - plainFrom >= 8) {
                if (!JsonBytes::notPlainMask(JsonBytes::load(end - 8))) {
                    std::memcpy(out + left - 8, end - 8, 8);
                    return out + left;
                }
            } else if (left >= 4) {
                std::uint32_t first, last;
                std::memcpy(&first, bytes, 4);
                std::memcpy(&last, end - 4, 4);
                if (!JsonBytes::notPlainMask(first | std::uint64_t(last) << 32)) {
                    std::memcpy(out, &first, 4);
                    std::memcpy(out + left - 4, &last, 4);
                    return out + left;
                }
            }
            while (bytes != end && JsonBytes::kPlain[static_cast<unsigned char>(*bytes)])
                *out++ = *bytes++;
            if (bytes == end)
                return out;
        }
        const auto c = static_cast<unsigned char>(*bytes++);
        plainFrom = bytes;
        *out++ = '\\';
        switch (c) {
        case '\n':
            *out++ = 'n';
            break;
        case '\t':
            *out++ = 't';
            break;
        case '\r':
            *out++ = 'r';
            break;
        case '\b':
            *out++ = 'b';
            break;
        case '\f':
            *out++ = 'f';
            break;
        case '"':
        case '\\':
            *out++ = char(c);
            break;
        default:
            static constexpr char kHex[] = "0123456789abcdef";
            *out++ = 'u';
            *out++ = '0';
            *out++ = '0';
            *out++ = kHex[c >> 4];
            *out++ = kHex[c & 15];
        }
    }
}

// A literal without its terminating NUL.
template <std::size_t N> char* put(char* out, const char (&text)[N])
{
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

constexpr auto kPowersOfTen = [] {
    std::array<std::uint64_t, 20> powers {};
    std::uint64_t power = 1;
    for (std::uint64_t& p : powers)
        p = std::exchange(power, power * 10);
    return powers;
}();

// Decimal digits of `value` (1 for 0): the bit length gives the power of ten to compare with.
std::size_t digitCount(std::uint64_t value)
{
    const auto bits = std::size_t(64 - __builtin_clzll(value | 1));
    const std::size_t floorLog = (bits * 1233) >> 12; // 1233 / 4096 ~ log10(2)
    return std::max<std::size_t>(1, floorLog + (value >= kPowersOfTen[floorLog] ? 1 : 0));
}

// "00" to "99", for two digits at a time.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs {};
    for (int i = 0; i < 100; ++i) {
        pairs[std::size_t(2 * i)] = char('0' + i / 10);
        pairs[std::size_t(2 * i + 1)] = char('0' + i % 10);
    }
    return pairs;
}();

template <typename Unsigned> char* putDigits(char* out, Unsigned value)
{
    char* const end = out + digitCount(value);
    char* p = end;
    for (; value >= 100; value /= 100)
        std::memcpy(p -= 2, &kDigitPairs[std::size_t(value % 100) * 2], 2);
    if (value >= 10)
        std::memcpy(p - 2, &kDigitPairs[std::size_t(value) * 2], 2);
    else
        p[-1] = char('0' + value);
    return end;
}

// Nearly every number (sizes, times) fits 32 bits, where dividing is cheaper.
char* putNumber(char* out, std::uint64_t value)
{
    return value <= UINT32_MAX ? putDigits(out, std::uint32_t(value)) : putDigits(out, value);
}

// A string of any length, in pieces that fit the sink's room.
void writeString(ScanSink& sink, std::string_view bytes)
{
    constexpr std::size_t piece = ScanSink::kRoomBytes / kEscapedBytesPerByte - 2;
    sink.put('"');
    do {
        const std::size_t n = std::min(bytes.size(), piece);
        sink.advance(putEscaped(sink.room(n * kEscapedBytesPerByte), bytes.data(), n));
        bytes.remove_prefix(n);
    } while (!bytes.empty());
    sink.put('"');
}

void writeField(ScanSink& sink, std::string_view key, std::uint64_t value)
{
    char* out = sink.room(key.size() + 24);
    *out++ = ',';
    *out++ = '"';
    out = std::copy(key.begin(), key.end(), out);
    *out++ = '"';
    *out++ = ':';
    sink.advance(putNumber(out, value));
}

const char* exclusionName(EntryNote::Exclusion reason)
{
    switch (reason) {
    case EntryNote::Exclusion::OtherFs:
        return "otherfs";
    case EntryNote::Exclusion::KernFs:
        return "kernfs";
    case EntryNote::Exclusion::FirmLink:
        return "frmlnk";
    default:
        return "pattern";
    }
}

std::uint64_t nonNegative(std::int64_t value)
{
    return value > 0 ? std::uint64_t(value) : 0;
}

// Room for one entry's text besides its name: every key, each with a 20-digit value.
constexpr std::size_t kEntryBytes = 256;
static_assert(FileNode::kMaxNameLength * kEscapedBytesPerByte + kEntryBytes <= ScanSink::kRoomBytes);

// One info object, after a '[' for a folder, written in place: millions of entries, so no
// temporaries and one check for room each.
void writeInfo(ScanSink& sink, bool folder, const FileNode& node, const EntryNote* note,
    std::optional<std::uint64_t> device, bool swapped)
{
    const std::string_view name = node.name();
    char* out = sink.room(name.size() * kEscapedBytesPerByte + kEntryBytes);
    if (folder)
        *out++ = '[';
    out = put(out, "{\"name\":\"");
    out = putEscaped(out, name.data(), name.size());
    *out++ = '"';
    if (node.flags.contains(NodeFlags::Excluded)) {
        out = put(out, ",\"excluded\":\"");
        const std::string_view reason = exclusionName(note ? note->excluded : EntryNote::Exclusion::Pattern);
        out = std::copy(reason.begin(), reason.end(), out);
        sink.advance(put(out, "\"}"));
        return;
    }
    if (device)
        out = putNumber(put(out, ",\"dev\":"), *device);
    if (node.isDirectory()) {
        // A folder's own entry is never counted, so it carries no sizes.
        if (node.flags.contains(NodeFlags::Unreadable))
            out = put(out, ",\"read_error\":true");
    } else {
        const bool hardLink = note && note->linkCount >= 2;
        // Every link carries its sizes: readers count each (dev, ino) once themselves.
        const std::int64_t nodeLogical = swapped ? node.size : node.logicalSize;
        const std::int64_t nodeAllocated = swapped ? node.logicalSize : node.size;
        const std::uint64_t logical = nonNegative(hardLink ? note->logical : nodeLogical);
        const std::uint64_t allocated = nonNegative(hardLink ? note->allocated : nodeAllocated);
        if (logical)
            out = putNumber(put(out, ",\"asize\":"), logical);
        if (allocated)
            out = putNumber(put(out, ",\"dsize\":"), allocated);
        if (hardLink) {
            out = putNumber(put(out, ",\"ino\":"), note->inode);
            out = putNumber(put(out, ",\"hlnkc\":true,\"nlink\":"), note->linkCount);
        }
        if (node.flags.contains(NodeFlags::Symlink) || (note && note->special))
            out = put(out, ",\"notreg\":true");
    }
    // Last, where ncdu puts it. A folder's is the newest within, as gdu writes it.
    if (node.mtime)
        out = putNumber(put(out, ",\"mtime\":"), node.mtime);
    *out++ = '}';
    sink.advance(out);
}

// Which nodes carry a note. Asked once per entry of the tree, nearly always in vain, so an
// open-addressed table of pointers (one probe into one array) rather than a node-based map.
class NoteIndex {
public:
    explicit NoteIndex(std::span<const EntryNote> notes)
    {
        if (notes.empty())
            return;
        unsigned bits = 4;
        while ((std::size_t(1) << bits) < notes.size() * 2)
            ++bits;
        m_shift = 64 - bits;
        m_keys.assign(std::size_t(1) << bits, nullptr);
        m_notes.resize(m_keys.size());
        for (const EntryNote& note : notes) {
            std::size_t i = slot(note.node);
            while (m_keys[i] && m_keys[i] != note.node)
                i = (i + 1) & (m_keys.size() - 1);
            if (!m_keys[i]) { // the first note of a node counts
                m_keys[i] = note.node;
                m_notes[i] = &note;
            }
        }
    }

    [[nodiscard]] const EntryNote* find(const FileNode* node) const
    {
        if (m_keys.empty())
            return nullptr;
        for (std::size_t i = slot(node);; i = (i + 1) & (m_keys.size() - 1)) {
            if (m_keys[i] == node)
                return m_notes[i];
            if (!m_keys[i])
                return nullptr;
        }
    }

private:
    [[nodiscard]] std::size_t slot(const FileNode* node) const
    {
        return std::size_t(
            (std::uint64_t(reinterpret_cast<std::uintptr_t>(node)) * 0x9E3779B97F4A7C15u) >> m_shift);
    }

    std::vector<const FileNode*> m_keys; // null: a free slot
    std::vector<const EntryNote*> m_notes;
    unsigned m_shift = 0;
};

} // namespace

namespace ScanWriter {

std::string hostName()
{
    char host[256] = {};
    return ::gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string();
}

ScanMetadata metadataFor(const std::string& rootPath)
{
    ScanMetadata m;
    m.progname = "tallyfern";
    m.progver = TALLYFERN_VERSION;
    m.timestamp = std::int64_t(std::time(nullptr));
    m.host = hostName();
    if (const std::optional<VolumeFacts> facts = VolumeFacts::of(rootPath)) {
        m.capacity = facts->total;
        m.available = facts->available;
        m.volumePath = facts->volumePath;
    }
    struct stat st { };
    if (::stat(rootPath.c_str(), &st) == 0)
        m.device = std::uint64_t(st.st_dev);
    return m;
}

bool write(const FileTree& tree, const ScanMetadata& metadata, ScanSink& sink)
{
    return write(tree.root, tree.notes, metadata, sink);
}

bool write(const FileNode* root, std::span<const EntryNote> notes, const ScanMetadata& metadata,
    ScanSink& sink, bool sizesSwapped)
{
    sink.write("[1,2,{\"progname\":", 17);
    writeString(sink, metadata.progname);
    sink.write(",\"progver\":", 11);
    writeString(sink, metadata.progver);
    if (metadata.timestamp)
        writeField(sink, "timestamp", nonNegative(*metadata.timestamp));
    if (!metadata.host.empty()) {
        sink.write(",\"host\":", 8);
        writeString(sink, metadata.host);
    }
    if (metadata.capacity)
        writeField(sink, "volume_capacity", nonNegative(*metadata.capacity));
    if (metadata.available)
        writeField(sink, "volume_available", nonNegative(*metadata.available));
    if (!metadata.volumePath.empty()) {
        sink.write(",\"volume_path\":", 15);
        writeString(sink, metadata.volumePath);
    }
    sink.write("},\n", 3);
    if (!root) {
        sink.write("[{\"name\":\"\",\"read_error\":true}]]\n", 34);
        return sink.ok();
    }

    const NoteIndex noteIndex(notes);
    const std::optional<std::uint64_t> rootDevice = metadata.device;
    auto deviceOf = [&](const EntryNote* note) -> std::optional<std::uint64_t> {
        if (note && note->linkCount && rootDevice && note->device != *rootDevice)
            return note->device;
        return std::nullopt;
    };

    // Depth first with an explicit stack: trees may be far deeper than any thread stack.
    struct Frame {
        std::span<FileNode* const> children;
        std::size_t next;
    };
    // Nodes lie where the scan made them, not in the order written: ask for them early.
    constexpr std::size_t kPrefetchAhead = 4;
    std::vector<Frame> stack;
    writeInfo(sink, true, *root, nullptr, rootDevice, sizesSwapped);
    stack.push_back(Frame { root->children(), 0 });
    while (!stack.empty() && sink.ok()) {
        Frame& top = stack.back();
        if (top.next == top.children.size()) {
            sink.put(']');
            stack.pop_back();
            continue;
        }
        if (top.next + kPrefetchAhead < top.children.size())
            top.children[top.next + kPrefetchAhead]->prefetch();
        const FileNode* child = top.children[top.next++];
        if (child->flags.contains(NodeFlags::Pseudo))
            continue;
        const EntryNote* note = noteIndex.find(child);
        sink.write(",\n", 2);
        if (child->isDirectory() && !child->flags.contains(NodeFlags::Excluded)) {
            writeInfo(sink, true, *child, note, std::nullopt, sizesSwapped);
            stack.push_back(Frame { child->children(), 0 });
        } else {
            writeInfo(sink, false, *child, note, deviceOf(note), sizesSwapped);
        }
    }
    sink.write("]\n", 2);
    return sink.ok();
}

} // namespace ScanWriter
