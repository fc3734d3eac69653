// SPDX-License-Identifier: MIT
#include "platform/MountTable.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i == line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool parseInt(std::string_view text, int& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

} // namespace

std::string MountTable::unescape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<MountEntry> MountTable::parse(std::string_view text)
{
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);

        // id parent major:minor root mount-point options [optional…] - type source super-options
        const std::vector<std::string_view> f = splitFields(line);
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (f.size() < 7 || dash + 2 >= f.size())
            continue;
        MountEntry e;
        if (!parseInt(f[0], e.id) || !parseInt(f[1], e.parentId))
            continue;
        e.device = std::string(f[2]);
        e.root = unescape(f[3]);
        e.mountPoint = unescape(f[4]);
        if (e.mountPoint.empty() || e.mountPoint.front() != '/')
            continue;
        e.options = unescape(f[5]);
        e.fsType = unescape(f[dash + 1]);
        e.source = unescape(f[dash + 2]);
        if (dash + 3 < f.size())
            e.superOptions = unescape(f[dash + 3]);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<MountEntry> MountTable::current()
{
    // A procfs file reports size 0, so read until end of file.
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return parse(text);
}

const MountEntry* MountTable::holding(std::span<const MountEntry> mounts, std::string_view path)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        const std::string_view point = m.mountPoint;
        bool holds = false;
        if (point == "/")
            holds = !path.empty() && path.front() == '/';
        else
            holds = path.starts_with(point) && (path.size() == point.size() || path[point.size()] == '/');
        // ">=" so that of stacked mounts the last one listed wins.
        if (holds && (!best || point.size() >= best->mountPoint.size()))
            best = &m;
    }
    return best;
}

std::string MountTable::standardize(std::string_view path)
{
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string_view::npos)
            j = path.size();
        const std::string_view part = path.substr(i, j - i);
        if (part.empty() || part == ".") {
            // skip
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    if (absolute)
        out.push_back('/');
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k)
            out.push_back('/');
        out.append(parts[k]);
    }
    if (out.empty())
        out.assign(1, absolute ? '/' : '.');
    return out;
}
