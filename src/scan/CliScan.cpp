// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"

#include "scan/Scanner.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace CliScan {

bool matches(int argc, const char* const* argv)
{
    return argc == 3 && argv && argv[1] && argv[2] && std::strcmp(argv[1], "--scan") == 0;
}

std::string scanLine(const std::string& path, std::string* failure)
{
    const auto start = std::chrono::steady_clock::now();
    Scanner scanner(path);
    const FileTree tree = scanner.run();
    const Progress progress = scanner.progress();
    if (const Scanner::Failure why = scanner.failure(); why != Scanner::Failure::None) {
        if (failure)
            *failure = Scanner::describe(why);
        return {};
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // to_chars ignores the locale: always "." and no grouping.
    char time[64];
    const auto [end, ec] = std::to_chars(time, time + sizeof time, seconds, std::chars_format::fixed, 2);
    const std::string timeText = ec == std::errc() ? std::string(time, end) : std::string("0.00");

    std::string line;
    line.reserve(128);
    line += "files=" + std::to_string(tree.root->fileCount);
    line += " dirs=" + std::to_string(progress.directories);
    line += " unreadable=" + std::to_string(progress.unreadable);
    line += " allocated=" + std::to_string(tree.root->size);
    line += " logical=" + std::to_string(tree.root->logicalSize);
    line += " time=" + timeText + "s";
    return line;
}

int run(int argc, const char* const* argv)
{
    if (!matches(argc, argv))
        return 0;
    std::string failure;
    const std::string line = scanLine(argv[2], &failure) + "\n";
    // Totals that are not whole are never printed as if they were.
    if (!failure.empty()) {
        std::fprintf(stderr, "tallyfern: cannot scan: %s\n", failure.c_str());
        return 1;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace CliScan
