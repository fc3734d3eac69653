// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The listing seam of the scanner: open a folder, read its entries in batches into a
// caller's buffer, and examine one entry relative to the open folder. The system
// reader uses open/openat, getdents64 and statx; tests derive from it to make single
// calls fail. Every call is thread-safe (the reader itself holds no state).
class DirectoryReader {
public:
    // Special: neither a regular file, a folder nor a symbolic link (FIFO, socket, device).
    enum class EntryType : std::uint8_t { Directory, Symlink, Other, Special };

    // What the scanner needs to know of one entry.
    struct EntryFacts {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t logicalSize = 0;
        std::int64_t allocatedSize = 0; // bytes actually occupied on disk
        std::int64_t mtime = 0; // last modification, seconds since 1970; see mtimeKnown
        std::uint32_t linkCount = 1;
        EntryType type = EntryType::Other;
        bool mtimeKnown = false;
        bool executable = false; // a regular file with any execute bit
        bool mountRootKnown = false; // the file system answered the mount-root question
        bool mountRoot = false; // meaningful only when mountRootKnown
    };

    DirectoryReader() = default;
    virtual ~DirectoryReader() = default;
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // The reader over the real file system.
    [[nodiscard]] static const DirectoryReader& system();

    // Opens a folder by path, following a symbolic link at `path` itself. A path longer
    // than the system accepts in one call is opened component by component.
    // Returns the descriptor, or -errno.
    [[nodiscard]] virtual int openPath(const char* path) const;
    // Opens the subfolder `name` of an open folder, never following a symbolic link and
    // never triggering an automount. Returns the descriptor, or -errno.
    [[nodiscard]] virtual int openChild(int parentFd, const char* name) const;
    // Opens the folder at `relative` ("/"-separated names, or ".") below the open folder
    // `baseFd` without following a symbolic link in any component or leaving its volume:
    // openat2 where the kernel has it and the path fits, else one component at a time.
    // Returns the descriptor, or -errno (ELOOP or ENOTDIR where a link stands).
    [[nodiscard]] virtual int openBeneath(int baseFd, const char* relative) const;
    // Reads the next batch of raw entries into `buffer`: the byte count, 0 at the end,
    // or -errno (EINTR is retried inside).
    [[nodiscard]] virtual long readBatch(int fd, char* buffer, std::size_t size) const;
    // Examines `name` in the open folder without following links or syncing with a
    // remote server. Returns 0, or -errno when the entry cannot be examined (ENOENT: it
    // vanished; EACCES: the folder can be listed but not searched).
    [[nodiscard]] virtual int examine(int dirFd, const char* name, EntryFacts& facts) const;
    // Examines the open folder itself.
    [[nodiscard]] virtual bool examineOpen(int fd, EntryFacts& facts) const;
    virtual void close(int fd) const;

    // Calls visit(name, length) for every entry of a batch from readBatch() except
    // "." and "..". `name` is NUL-terminated; the bytes are the file system's own.
    template <typename Visit> static void forEachName(const char* batch, long length, Visit&& visit)
    {
        // linux_dirent64: 64-bit inode, 64-bit offset, 16-bit record length, 8-bit
        // type, then the name. Records are 8-byte aligned.
        constexpr std::size_t kReclenAt = 16;
        constexpr std::size_t kNameAt = 19;
        long at = 0;
        while (at < length) {
            const char* record = batch + at;
            std::uint16_t reclen;
            std::memcpy(&reclen, record + kReclenAt, sizeof reclen);
            if (reclen == 0)
                return;
            const char* name = record + kNameAt;
            const std::size_t nameLength = ::strnlen(name, reclen - kNameAt);
            at += reclen;
            if (name[0] == '.' && (nameLength == 1 || (nameLength == 2 && name[1] == '.')))
                continue;
            visit(name, nameLength);
        }
    }
};
