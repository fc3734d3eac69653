// SPDX-License-Identifier: MIT
#include "scan/ScanWriter.h"

#include "platform/VolumeFacts.h"
#include "scan/ScanStream.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#ifndef TALLYFERN_VERSION
#define TALLYFERN_VERSION ""
#endif

namespace {

void writeNumber(ScanSink& sink, std::uint64_t value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    sink.write(text, std::size_t(end - text));
}

// JSON string of raw bytes: only '"', '\' and control characters are escaped, every
// other byte goes out as it is, so that names that are not UTF-8 survive (as ncdu does).
void writeString(ScanSink& sink, std::string_view bytes)
{
    sink.put('"');
    std::size_t plain = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        sink.write(bytes.data() + plain, i - plain);
        plain = i + 1;
        char escape[7] = { '\\', char(c), 0 };
        std::size_t length = 2;
        switch (c) {
        case '\n':
            escape[1] = 'n';
            break;
        case '\t':
            escape[1] = 't';
            break;
        case '\r':
            escape[1] = 'r';
            break;
        case '\b':
            escape[1] = 'b';
            break;
        case '\f':
            escape[1] = 'f';
            break;
        case '"':
        case '\\':
            break;
        default:
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            length = 6;
        }
        sink.write(escape, length);
    }
    sink.write(bytes.data() + plain, bytes.size() - plain);
    sink.put('"');
}

void writeKey(ScanSink& sink, std::string_view key)
{
    sink.put(',');
    sink.put('"');
    sink.write(key.data(), key.size());
    sink.put('"');
    sink.put(':');
}

void writeField(ScanSink& sink, std::string_view key, std::uint64_t value)
{
    writeKey(sink, key);
    writeNumber(sink, value);
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

// Last, where ncdu puts it. A folder's is the newest within, as gdu writes it.
void writeTime(ScanSink& sink, const FileNode& node)
{
    if (node.mtime)
        writeField(sink, "mtime", node.mtime);
}

// One info object, without the closing brace.
void writeInfo(ScanSink& sink, const FileNode& node, const EntryNote* note,
    std::optional<std::uint64_t> device, bool swapped)
{
    sink.write("{\"name\":", 8);
    writeString(sink, node.name());
    if (node.flags.contains(NodeFlags::Excluded)) {
        writeKey(sink, "excluded");
        writeString(sink, exclusionName(note ? note->excluded : EntryNote::Exclusion::Pattern));
        return;
    }
    if (device)
        writeField(sink, "dev", *device);
    if (node.isDirectory()) {
        // A folder's own entry is never counted, so it carries no sizes.
        if (node.flags.contains(NodeFlags::Unreadable))
            sink.write(",\"read_error\":true", 18);
        writeTime(sink, node);
        return;
    }
    const bool hardLink = note && note->linkCount >= 2;
    // Every link carries its sizes: readers count each (dev, ino) once themselves.
    const std::int64_t nodeLogical = swapped ? node.size : node.logicalSize;
    const std::int64_t nodeAllocated = swapped ? node.logicalSize : node.size;
    const std::uint64_t logical = nonNegative(hardLink ? note->logical : nodeLogical);
    const std::uint64_t allocated = nonNegative(hardLink ? note->allocated : nodeAllocated);
    if (logical)
        writeField(sink, "asize", logical);
    if (allocated)
        writeField(sink, "dsize", allocated);
    if (hardLink) {
        writeField(sink, "ino", note->inode);
        sink.write(",\"hlnkc\":true", 13);
        writeField(sink, "nlink", note->linkCount);
    }
    if (node.flags.contains(NodeFlags::Symlink) || (note && note->special))
        sink.write(",\"notreg\":true", 14);
    writeTime(sink, node);
}

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
        writeKey(sink, "host");
        writeString(sink, metadata.host);
    }
    if (metadata.capacity)
        writeField(sink, "volume_capacity", nonNegative(*metadata.capacity));
    if (metadata.available)
        writeField(sink, "volume_available", nonNegative(*metadata.available));
    if (!metadata.volumePath.empty()) {
        writeKey(sink, "volume_path");
        writeString(sink, metadata.volumePath);
    }
    sink.write("},\n", 3);
    if (!root) {
        sink.write("[{\"name\":\"\",\"read_error\":true}]]\n", 34);
        return sink.ok();
    }

    std::unordered_map<const FileNode*, const EntryNote*> noteByNode;
    noteByNode.reserve(notes.size());
    for (const EntryNote& note : notes)
        noteByNode.emplace(note.node, &note);
    auto noteOf = [&](const FileNode* node) -> const EntryNote* {
        if (noteByNode.empty())
            return nullptr;
        const auto it = noteByNode.find(node);
        return it == noteByNode.end() ? nullptr : it->second;
    };
    const std::optional<std::uint64_t> rootDevice = metadata.device;
    auto deviceOf = [&](const EntryNote* note) -> std::optional<std::uint64_t> {
        if (note && note->linkCount && rootDevice && note->device != *rootDevice)
            return note->device;
        return std::nullopt;
    };

    // Depth first with an explicit stack: trees may be far deeper than any thread stack.
    struct Frame {
        const FileNode* folder;
        std::size_t next;
    };
    std::vector<Frame> stack;
    sink.put('[');
    writeInfo(sink, *root, nullptr, rootDevice, sizesSwapped);
    sink.put('}');
    stack.push_back(Frame { root, 0 });
    while (!stack.empty() && sink.ok()) {
        Frame& top = stack.back();
        if (top.next == top.folder->childCount()) {
            sink.put(']');
            stack.pop_back();
            continue;
        }
        const FileNode* child = top.folder->child(top.next++);
        if (child->flags.contains(NodeFlags::Pseudo))
            continue;
        const EntryNote* note = noteOf(child);
        sink.write(",\n", 2);
        if (child->isDirectory() && !child->flags.contains(NodeFlags::Excluded)) {
            sink.put('[');
            writeInfo(sink, *child, note, std::nullopt, sizesSwapped);
            sink.put('}');
            stack.push_back(Frame { child, 0 });
        } else {
            writeInfo(sink, *child, note, deviceOf(note), sizesSwapped);
            sink.put('}');
        }
    }
    sink.write("]\n", 2);
    return sink.ok();
}

} // namespace ScanWriter
