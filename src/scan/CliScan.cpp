// SPDX-License-Identifier: MIT
#include "scan/CliScan.h"

#include "scan/ScanReader.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"
#include "scan/Scanner.h"

#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool is(const char* argument, const char* option)
{
    return argument && std::strcmp(argument, option) == 0;
}

bool allPresent(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
        if (!argv[i])
            return false;
    return true;
}

std::string line(
    const FileNode& root, std::int64_t directories, std::int64_t unreadable, Clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // to_chars ignores the locale: always "." and no grouping.
    char time[64];
    const auto [end, ec] = std::to_chars(time, time + sizeof time, seconds, std::chars_format::fixed, 2);
    const std::string timeText = ec == std::errc() ? std::string(time, end) : std::string("0.00");

    std::string text;
    text.reserve(128);
    text += "files=" + std::to_string(root.fileCount);
    text += " dirs=" + std::to_string(directories);
    text += " unreadable=" + std::to_string(unreadable);
    text += " allocated=" + std::to_string(root.size);
    text += " logical=" + std::to_string(root.logicalSize);
    text += " time=" + timeText + "s";
    return text;
}

void print(FILE* stream, const std::string& text)
{
    const std::string withEnd = text + "\n";
    std::fwrite(withEnd.data(), 1, withEnd.size(), stream);
    std::fflush(stream);
}

// The temporary file of a running export, removed when the user interrupts it (a signal
// handler may only use a fixed buffer and unlink).
char s_temporary[4096];

void removeTemporaryAndDie(int signal)
{
    if (s_temporary[0])
        ::unlink(s_temporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int exportScan(const std::string& file, const std::string& path)
{
    const auto start = Clock::now();
    // Opened first: a folder that cannot take the file fails before a long scan.
    ScanSink sink(file);
    if (!sink.ok()) {
        print(stderr, "tallyfern: " + sink.error());
        return 1;
    }
    if (sink.temporaryPath().size() < sizeof s_temporary) {
        std::memcpy(s_temporary, sink.temporaryPath().c_str(), sink.temporaryPath().size() + 1);
        for (const int signal : { SIGINT, SIGTERM, SIGHUP })
            std::signal(signal, removeTemporaryAndDie);
    }
    // The file names the scanned folder in full, so that it means the same elsewhere.
    char resolved[PATH_MAX];
    const std::string root = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    Scanner scanner(root);
    const FileTree tree = scanner.run();
    const Progress progress = scanner.progress();
    const bool written = ScanWriter::write(tree, ScanWriter::metadataFor(root), sink) && sink.commit();
    s_temporary[0] = '\0';
    if (!written) {
        print(stderr, "tallyfern: " + sink.error());
        return 1;
    }
    print(file == "-" ? stderr : stdout, line(*tree.root, progress.directories, progress.unreadable, start));
    return 0;
}

int loadScan(const std::string& file)
{
    const auto start = Clock::now();
    ScanSource source(file);
    std::string error;
    const std::optional<SavedScan> scan = ScanReader::read(source, error);
    if (!scan) {
        print(stderr, "tallyfern: " + error);
        return 1;
    }
    if (scan->hardLinksMayCountTwice)
        print(stderr,
            "tallyfern: " + file + ": hard links may be counted twice (the file marks only some links)");
    print(stdout, line(*scan->tree.root, scan->directories, scan->unreadable, start));
    return 0;
}

} // namespace

namespace CliScan {

bool matches(int argc, const char* const* argv)
{
    if (!argv || !allPresent(argc, argv) || argc < 3)
        return false;
    return (argc == 3 && (is(argv[1], "--scan") || is(argv[1], "--load")))
        || (argc == 4 && is(argv[1], "--export"));
}

std::string scanLine(const std::string& path)
{
    const auto start = Clock::now();
    Scanner scanner(path);
    const FileTree tree = scanner.run();
    const Progress progress = scanner.progress();
    return line(*tree.root, progress.directories, progress.unreadable, start);
}

int run(int argc, const char* const* argv)
{
    if (!matches(argc, argv))
        return 0;
    if (is(argv[1], "--export"))
        return exportScan(argv[2], argv[3]);
    if (is(argv[1], "--load"))
        return loadScan(argv[2]);
    print(stdout, scanLine(argv[2]));
    return 0;
}

} // namespace CliScan
