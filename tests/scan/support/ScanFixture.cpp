// SPDX-License-Identifier: MIT
#include "scan/support/ScanFixture.h"

#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace scantest {

TempDir::TempDir(const char* base)
{
    if (!base || ::access(base, W_OK) != 0)
        base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tallyfern-scan-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    // Readable by everyone: some tests scan it as an unprivileged user.
    ::chmod(pattern.c_str(), 0755);
    m_path = pattern;
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        (void)capture({ "rm", "-rf", "--", m_path });
}

namespace {

void check(bool done, const char* what, const std::string& path)
{
    if (!done)
        ADD_FAILURE() << what << " " << path << ": " << std::strerror(errno);
}

} // namespace

void makeDir(const std::string& path)
{
    check(::mkdir(path.c_str(), 0755) == 0, "mkdir", path);
}
void makeLink(const std::string& target, const std::string& path)
{
    check(::link(target.c_str(), path.c_str()) == 0, "link", path);
}
void makeSymlink(const std::string& target, const std::string& path)
{
    check(::symlink(target.c_str(), path.c_str()) == 0, "symlink", path);
}
void makeFifo(const std::string& path)
{
    check(::mkfifo(path.c_str(), 0644) == 0, "mkfifo", path);
}
void writeSparse(const std::string& path, std::int64_t logical)
{
    writeFile(path, 4096);
    check(::truncate(path.c_str(), logical) == 0, "truncate", path);
}

void writeFile(const std::string& path, std::size_t bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    check(bool(out << std::string(bytes, 'x')) && bool(out.flush()), "write", path);
}

void makeChain(const std::string& root, int levels, const std::string& name, std::size_t leafBytes)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        check(::mkdirat(fd, name.c_str(), 0755) == 0, "mkdirat in chain", root);
        ::close(std::exchange(fd, ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    }
    const int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    check(leaf >= 0 && ::write(leaf, std::string(leafBytes, 'x').data(), leafBytes) == ssize_t(leafBytes),
        "leaf of chain", root);
    ::close(leaf);
    if (fd >= 0)
        ::close(fd);
}

DiskSize sizeOf(const std::string& path)
{
    struct stat st { };
    check(::lstat(path.c_str(), &st) == 0, "lstat", path);
    return { static_cast<std::int64_t>(st.st_blocks) * 512, static_cast<std::int64_t>(st.st_size),
        st.st_ino };
}

Census census(const std::string& root)
{
    Census c;
    std::istringstream entries(
        capture({ "find", root, "-xdev", "!", "-type", "d", "-printf", "%i %n %b %s\\n" }));
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t inode;
    std::int64_t links, blocks, size;
    while (entries >> inode >> links >> blocks >> size) {
        ++c.files;
        if (links >= 2 && !seen.insert(inode).second)
            continue;
        c.allocated += blocks * 512;
        c.logical += size;
    }
    const std::string dirs = capture({ "find", root, "-xdev", "-type", "d", "-printf", "x" });
    c.dirs = std::int64_t(dirs.size());
    return c;
}

void PrintTo(const Census& c, std::ostream* out)
{
    *out << "files=" << c.files << " dirs=" << c.dirs << " allocated=" << c.allocated
         << " logical=" << c.logical;
}

namespace {

void buildMixedTree(const std::string& root, const std::string& outside)
{
    std::mt19937 random(7);
    std::vector<std::string> folders { root };
    std::vector<std::string> files;
    writeFile(outside, 7000);
    for (int i = 0; i < 20000; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        std::string name = i % 97 == 0 ? std::string("\xff\xfe", 2) : std::string("e");
        name += std::to_string(i);
        const std::string path = parent + "/" + name;
        const unsigned pick = random() % 1000;
        if (pick < 60) {
            makeDir(path);
            folders.push_back(path);
        } else if (pick < 75 && !files.empty()) {
            makeLink(files[random() % files.size()], path);
        } else if (pick < 77) {
            makeLink(outside, path);
        } else if (pick < 90) {
            makeSymlink(pick % 2 ? "/usr" : "../nowhere", path);
        } else if (pick < 95) {
            makeFifo(path);
        } else if (pick < 105) {
            writeSparse(path, 1 + std::int64_t(random() % 50) * (1 << 20));
            files.push_back(path);
        } else {
            writeFile(path, random() % 3 == 0 ? 0 : random() % 20000);
            files.push_back(path);
        }
    }
}

} // namespace

const std::string& sharedMixedTree()
{
    static const TempDir dir;
    static const std::string tree = [] {
        makeDir(dir / "tree");
        buildMixedTree(dir / "tree", dir / "outside");
        return dir / "tree";
    }();
    return tree;
}

std::string capture(const std::vector<std::string>& argv, int* status)
{
    // Each argument single-quoted, so that no byte of a path means anything to the shell.
    std::string command;
    for (const std::string& arg : argv) {
        command += " '";
        for (char c : arg)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += '\'';
    }
    FILE* pipe = ::popen(command.c_str(), "re");
    if (!pipe) {
        ADD_FAILURE() << "popen: " << std::strerror(errno);
        return {};
    }
    std::string out;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int wstatus = ::pclose(pipe);
    if (status)
        *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return out;
}

std::string tallyfernBinary()
{
    // The application sits at the top of the build folder, above the test programs.
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "tallyfern";
}

void save(const FileTree& tree, const std::string& file)
{
    ScanSink sink(file);
    const bool saved = ScanWriter::write(tree, ScanWriter::metadataFor(std::string(tree.root->name())), sink)
        && sink.commit();
    EXPECT_TRUE(saved) << sink.error();
}

std::optional<SavedScan> load(const std::string& file, std::string* error)
{
    ScanSource source(file);
    std::string message;
    std::optional<SavedScan> scan = ScanReader::read(source, message);
    if (error)
        *error = message;
    else if (!scan)
        ADD_FAILURE() << message;
    return scan;
}

std::string readText(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

std::string withoutTime(const std::string& line)
{
    static const std::regex form(
        "^(files=\\d+ dirs=\\d+ unreadable=\\d+ allocated=\\d+ logical=\\d+) time=\\d+\\.\\d\\ds\n?$");
    std::smatch match;
    return std::regex_match(line, match, form) ? std::string(match[1]) : "malformed: " + line;
}

} // namespace scantest
