// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// One line of /proc/self/mountinfo, with the kernel's octal escapes decoded.
struct MountEntry {
    int id = 0;
    int parentId = 0;
    std::string root; // the folder of the file system mounted here ("/" unless a bind mount)
    std::string mountPoint; // where it is mounted, as the kernel reports it
    std::string options; // per-mount options (rw, relatime, …)
    std::string fsType; // ext4, tmpfs, …
    std::string source; // /dev/sda1, a server path, or a pseudo name
    std::string superOptions; // per-file-system options
    std::string device; // "major:minor" of the file system; bind mounts share it
    friend bool operator==(const MountEntry&, const MountEntry&) = default;
};

// The mount table of this process. Parsing is separate from reading so that tests (and
// the volume chooser) can feed text of their own.
class MountTable {
public:
    // Entries in the order the kernel lists them (later mounts over earlier ones).
    // Lines that do not have the mountinfo shape are skipped.
    [[nodiscard]] static std::vector<MountEntry> parse(std::string_view text);
    // The current table; empty when /proc/self/mountinfo cannot be read.
    [[nodiscard]] static std::vector<MountEntry> current();

    // The mount holding `path` (absolute, resolved, standardised): the longest mount
    // point that equals it or is one of its ancestor folders; of mounts stacked on the
    // same point, the last listed (the visible one). Null when none matches.
    [[nodiscard]] static const MountEntry* holding(std::span<const MountEntry> mounts, std::string_view path);

    // Decodes the \ooo escapes the kernel writes for space, tab, newline and backslash
    // (any three-digit octal escape, in fact). Anything else is kept as it is.
    [[nodiscard]] static std::string unescape(std::string_view field);

    // `path` without repeated, trailing, "." and ".." components ("/" stays "/").
    // Lexical only: symbolic links are not resolved.
    [[nodiscard]] static std::string standardize(std::string_view path);
};
