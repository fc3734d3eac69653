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
#include <new>
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

// Totals that are not whole are never printed as if they were.
int cannotScan(const std::string& reason)
{
    print(stderr, "tallyfern: cannot scan: " + reason);
    return 1;
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

FileTree scanWith(const std::string& path, const CliScan::ScanOptions& options, Progress& progress,
    Scanner::Failure& failure)
{
    Scanner scanner(path);
    scanner.setExcludes(&options.excludes);
    scanner.setCrossFileSystems(options.crossFileSystems);
    FileTree tree = scanner.run();
    progress = scanner.progress();
    failure = scanner.failure();
    return tree;
}

int exportScan(const std::string& file, const std::string& path, const CliScan::ScanOptions& options)
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
    Progress progress;
    Scanner::Failure failure = Scanner::Failure::None;
    const FileTree tree = scanWith(root, options, progress, failure);
    if (failure != Scanner::Failure::None) {
        s_temporary[0] = '\0';
        return cannotScan(Scanner::describe(failure)); // the sink's destructor removes its temporary file
    }
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

bool isScanOption(std::string_view argument, bool& takesValue)
{
    takesValue = argument == "--exclude" || argument == "--exclude-from";
    return takesValue || argument == "--cross-file-systems";
}

bool parseScanOptions(
    const std::vector<std::string_view>& arguments, ScanOptions& options, std::string& error)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        bool takesValue = false;
        if (!isScanOption(argument, takesValue)) {
            error = "unknown option " + std::string(argument);
            return false;
        }
        if (!takesValue) {
            options.crossFileSystems = true;
            continue;
        }
        if (++i == arguments.size()) {
            error = std::string(argument) + " needs a value";
            return false;
        }
        const bool added = argument == "--exclude"
            ? options.excludes.add(arguments[i], error)
            : options.excludes.addFile(std::string(arguments[i]), error);
        if (!added)
            return false;
    }
    return true;
}

bool matches(int argc, const char* const* argv)
{
    if (!argv || !allPresent(argc, argv) || argc < 3)
        return false;
    if (argc == 3 && is(argv[1], "--load"))
        return true;
    const int first = is(argv[1], "--scan") ? 3 : is(argv[1], "--export") ? 4 : 0;
    if (first == 0 || argc < first)
        return false;
    // Whatever follows must be scan options, their values checked by run().
    for (int i = first; i < argc; ++i) {
        bool takesValue = false;
        if (!isScanOption(argv[i], takesValue))
            return false;
        i += takesValue ? 1 : 0;
    }
    return true;
}

std::string scanLine(const std::string& path, const ScanOptions& options, std::string* failure)
{
    const auto start = Clock::now();
    Progress progress;
    Scanner::Failure why = Scanner::Failure::None;
    const FileTree tree = scanWith(path, options, progress, why);
    if (why != Scanner::Failure::None) {
        if (failure)
            *failure = Scanner::describe(why);
        return {};
    }
    return line(*tree.root, progress.directories, progress.unreadable, start);
}

int run(int argc, const char* const* argv)
{
    if (!matches(argc, argv))
        return 0;
    try {
        if (is(argv[1], "--load"))
            return loadScan(argv[2]);
        const bool exporting = is(argv[1], "--export");
        ScanOptions options;
        std::string error;
        if (!parseScanOptions(
                std::vector<std::string_view>(argv + (exporting ? 4 : 3), argv + argc), options, error)) {
            print(stderr, "tallyfern: " + error);
            return 2;
        }
        if (exporting)
            return exportScan(argv[2], argv[3], options);
        std::string failure;
        const std::string text = scanLine(argv[2], options, &failure);
        if (!failure.empty())
            return cannotScan(failure);
        print(stdout, text);
    } catch (const std::bad_alloc&) {
        return cannotScan(Scanner::describe(Scanner::Failure::OutOfMemory));
    }
    return 0;
}

} // namespace CliScan
