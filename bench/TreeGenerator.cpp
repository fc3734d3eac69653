// SPDX-License-Identifier: MIT
#include "TreeGenerator.h"

#include "scan/Scanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace TreeGenerator {
namespace {

constexpr int kMaxDepth = 12;

struct Extension {
    std::string_view name; // empty: no extension
    double maxBytes; // sizes are log-uniform below this
    double weight;
};

// Roughly what a home folder or a system volume holds.
constexpr std::array<Extension, 26> kExtensions { {
    { "txt", 2e5, 6 },
    { "md", 6e4, 3 },
    { "json", 5e5, 5 },
    { "h", 8e4, 7 },
    { "cpp", 2e5, 6 },
    { "py", 1e5, 6 },
    { "js", 4e5, 8 },
    { "css", 1e5, 2 },
    { "html", 3e5, 3 },
    { "svg", 2e5, 3 },
    { "png", 4e6, 6 },
    { "jpg", 1.2e7, 5 },
    { "pdf", 3e7, 2 },
    { "mp3", 1.5e7, 2 },
    { "mp4", 8e8, 0.6 },
    { "mov", 6e8, 0.3 },
    { "zip", 3e8, 0.8 },
    { "gz", 2e8, 1 },
    { "so", 5e7, 3 },
    { "o", 2e6, 3 },
    { "log", 5e7, 2 },
    { "db", 2e8, 0.5 },
    { "iso", 9e8, 0.05 },
    { "xml", 3e5, 2 },
    { "", 1e6, 8 },
    { "dat", 5e7, 1 },
} };

constexpr std::array<std::string_view, 16> kFolderWords { "src", "lib", "cache", "photos", "docs", "build",
    "assets", "share", "include", "data", "projects", "music", "tmp", "modules", "backup", "config" };

constexpr std::array<std::string_view, 16> kFileWords { "index", "main", "report", "image", "util", "notes",
    "test", "readme", "track", "config", "module", "chunk", "photo", "draft", "core", "page" };

std::string base36(std::uint64_t n)
{
    std::string s;
    do {
        s.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        n /= 36;
    } while (n);
    return s;
}

class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_engine(seed)
    {
    }
    double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine); }
    std::size_t below(std::size_t n) { return n ? std::size_t(m_engine() % n) : 0; }
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937_64 m_engine;
};

std::size_t pickExtension(Random& random)
{
    static const double total = [] {
        double t = 0;
        for (const auto& e : kExtensions)
            t += e.weight;
        return t;
    }();
    double r = random.unit() * total;
    for (std::size_t i = 0; i < kExtensions.size(); ++i) {
        r -= kExtensions[i].weight;
        if (r < 0)
            return i;
    }
    return kExtensions.size() - 1;
}

} // namespace

void generate(const Options& options, const std::function<void(const Entry&)>& visit)
{
    Random random(options.seed);
    const std::size_t folderTarget = std::max<std::size_t>(1, options.targetFiles / 20);

    // Folders: each new folder hangs below a random earlier one, or below one of the most
    // recent ones, which grows deep chains as well as wide levels.
    struct Folder {
        std::string path;
        int depth;
    };
    std::vector<Folder> folders;
    folders.reserve(folderTarget);
    folders.push_back({ "", 0 });
    std::uint64_t serial = 0;
    while (folders.size() < folderTarget) {
        const std::size_t n = folders.size();
        std::size_t parent
            = random.chance(0.4) ? n - 1 - random.below(std::min<std::size_t>(n, 64)) : random.below(n);
        if (folders[parent].depth >= kMaxDepth)
            parent = random.below(std::min<std::size_t>(n, 16));
        std::string name
            = std::string(kFolderWords[random.below(kFolderWords.size())]) + "-" + base36(serial++);
        const Folder& p = folders[parent];
        folders.push_back({ p.path.empty() ? name : p.path + "/" + name, p.depth + 1 });
    }

    // Files per folder: heavy-tailed weights, so most folders hold a few files and some
    // hold thousands.
    std::vector<double> cumulative(folders.size());
    double sum = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const double u = std::max(random.unit(), 1e-6);
        sum += std::min(1.0 / std::pow(u, 1.1), 5000.0);
        cumulative[i] = sum;
    }
    std::vector<std::uint32_t> filesIn(folders.size(), 0);
    for (std::size_t f = 0; f < options.targetFiles; ++f) {
        const double r = random.unit() * sum;
        const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), r);
        ++filesIn[std::min<std::size_t>(std::size_t(it - cumulative.begin()), folders.size() - 1)];
    }

    Entry entry;
    for (std::size_t i = 1; i < folders.size(); ++i) {
        entry.type = EntryType::Folder;
        entry.path = folders[i].path;
        entry.size = 0;
        entry.target.clear();
        visit(entry);
    }

    // Recent files serve as hard-link targets; they have always been visited already.
    std::vector<std::string> recent;
    std::size_t recentNext = 0;
    constexpr std::size_t kRecent = 4096;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string prefix = folders[i].path.empty() ? std::string() : folders[i].path + "/";
        for (std::uint32_t k = 0; k < filesIn[i]; ++k) {
            const double kind = random.unit();
            entry.target.clear();
            entry.size = 0;
            if (kind < 0.01 && !recent.empty()) {
                entry.type = EntryType::HardLink;
                entry.target = recent[random.below(recent.size())];
                entry.path = prefix + "link-" + base36(serial++);
            } else if (kind < 0.015) {
                entry.type = EntryType::Symlink;
                entry.target = random.chance(0.5)
                    ? std::string("../") + std::string(kFolderWords[random.below(kFolderWords.size())])
                    : std::string("/usr/lib");
                entry.path = prefix + "alias-" + base36(serial++);
            } else if (kind < 0.016) {
                entry.type = EntryType::Fifo;
                entry.path = prefix + "pipe-" + base36(serial++);
            } else {
                entry.type = EntryType::File;
                const Extension& ext = kExtensions[pickExtension(random)];
                entry.path = prefix + std::string(kFileWords[random.below(kFileWords.size())]) + "-"
                    + base36(serial++);
                if (!ext.name.empty()) {
                    entry.path += '.';
                    entry.path += ext.name;
                }
                // Log-uniform sizes below the extension's ceiling; some files are empty.
                entry.size = random.chance(0.04)
                    ? 0
                    : std::int64_t(std::exp(random.unit() * std::log(ext.maxBytes)));
                if (recent.size() < kRecent)
                    recent.push_back(entry.path);
                else
                    recent[recentNext++ % kRecent] = entry.path;
            }
            visit(entry);
        }
    }
}

FileTree buildInMemory(const Options& options)
{
    FileTree tree;
    tree.root = tree.arena.make("/generated", nullptr, 0, 0, 0, 2, NodeFlags::Directory);
    std::unordered_map<std::string, FileNode*> folderByPath;
    std::unordered_map<FileNode*, std::vector<FileNode*>> childrenOf;
    std::unordered_map<std::string, bool> linkedOnce;
    folderByPath.emplace("", tree.root);

    auto split = [](const std::string& path) {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos)
            return std::pair<std::string, std::string>("", path);
        return std::pair<std::string, std::string>(path.substr(0, slash), path.substr(slash + 1));
    };
    auto roundToBlocks = [](std::int64_t n) { return (n + 4095) / 4096 * 4096; };

    generate(options, [&](const Entry& e) {
        const auto [parentPath, name] = split(e.path);
        FileNode* parent = folderByPath.at(parentPath);
        FileNode* node = nullptr;
        switch (e.type) {
        case EntryType::Folder:
            node = tree.arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory);
            folderByPath.emplace(e.path, node);
            break;
        case EntryType::File:
            // As if every file were written in full, so that sizes stay realistic.
            node = tree.arena.make(name, parent, roundToBlocks(e.size), e.size, 1, 2, NodeFlags());
            break;
        case EntryType::HardLink:
            // The first link met carries the sizes; this one is the second.
            node = tree.arena.make(name, parent, 0, 0, 1, 2, NodeFlags());
            break;
        case EntryType::Symlink:
            node = tree.arena.make(name, parent, 0, std::int64_t(e.target.size()), 1, 2, NodeFlags::Symlink);
            break;
        case EntryType::Fifo:
            node = tree.arena.make(name, parent, 0, 0, 1, 2, NodeFlags());
            break;
        }
        childrenOf[parent].push_back(node);
    });
    for (auto& [parent, children] : childrenOf)
        tree.arena.adoptChildren(parent, children);
    Scanner::finalize(tree.root);
    return tree;
}

int writeToDisk(const std::string& root, const Options& options, std::size_t* created)
{
    std::size_t count = 0;
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    static const std::vector<char> data(std::size_t(kDenseLimit), 'x');
    int failure = 0;
    generate(options, [&](const Entry& e) {
        if (failure)
            return;
        const std::string path = root + "/" + e.path;
        int rc = 0;
        switch (e.type) {
        case EntryType::Folder:
            rc = ::mkdir(path.c_str(), 0755);
            break;
        case EntryType::File: {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                rc = -1;
                break;
            }
            const std::int64_t dense
                = std::min(e.size, e.size > kDenseLimit ? std::int64_t(4096) : kDenseLimit);
            if (dense > 0 && ::write(fd, data.data(), std::size_t(dense)) != dense)
                rc = -1;
            if (rc == 0 && e.size > dense && ::ftruncate(fd, e.size) != 0)
                rc = -1;
            ::close(fd);
            break;
        }
        case EntryType::HardLink:
            rc = ::link((root + "/" + e.target).c_str(), path.c_str());
            break;
        case EntryType::Symlink:
            rc = ::symlink(e.target.c_str(), path.c_str());
            break;
        case EntryType::Fifo:
            rc = ::mkfifo(path.c_str(), 0644);
            break;
        }
        if (rc != 0)
            failure = errno ? errno : EIO;
        else
            ++count;
    });
    if (created)
        *created = count;
    return failure;
}

} // namespace TreeGenerator
