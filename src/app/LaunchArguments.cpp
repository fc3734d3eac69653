// SPDX-License-Identifier: MIT
#include "app/LaunchArguments.h"
#include "scan/CliScan.h"

#include "platform/MountTable.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string absolute(const std::string& path, const std::string& workingFolder)
{
    const std::string joined = path.front() == '/' ? path : workingFolder + "/" + path;
    // A folder given through a symbolic link is scanned as the folder it leads to.
    char buffer[PATH_MAX];
    if (::realpath(joined.c_str(), buffer))
        return buffer;
    return MountTable::standardize(joined);
}

} // namespace

namespace LaunchArguments {

std::string pathOfFileUrl(std::string_view url)
{
    if (!startsWith(url, "file://"))
        return {};
    std::string_view rest = url.substr(7);
    // file:///path or file://localhost/path; another host is not a local file.
    if (startsWith(rest, "localhost/"))
        rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/')
        return {};
    if (const std::size_t cut = rest.find_first_of("?#"); cut != std::string_view::npos)
        rest = rest.substr(0, cut);
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size()) {
            const int high = hexValue(rest[i + 1]);
            const int low = hexValue(rest[i + 2]);
            if (high >= 0 && low >= 0) {
                path.push_back(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        path.push_back(rest[i]);
    }
    // A NUL byte cannot be part of a path: refuse the URL rather than cut the name.
    if (path.find('\0') != std::string::npos)
        return {};
    return path;
}

std::vector<std::string> folders(const std::vector<std::string>& arguments, const std::string& workingFolder)
{
    std::vector<std::string> out;
    bool optionsEnded = false;
    bool skipValue = false;
    for (const std::string& argument : arguments) {
        // The value of a scan option is a pattern or a file, never a folder to open.
        if (std::exchange(skipValue, false))
            continue;
        if (argument.empty())
            continue;
        if (!optionsEnded && CliScan::isScanOption(argument, skipValue))
            continue;
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.front() == '-') {
            std::fprintf(stderr, "tallyfern: ignoring unknown option %s\n", argument.c_str());
            continue;
        }
        std::string path = argument;
        if (startsWith(argument, "file:")) {
            path = pathOfFileUrl(argument);
            if (path.empty()) {
                std::fprintf(stderr, "tallyfern: not a local folder: %s\n", argument.c_str());
                continue;
            }
        }
        out.push_back(absolute(path, workingFolder));
    }
    return out;
}

} // namespace LaunchArguments
