// SPDX-License-Identifier: MIT
#include "model/NameSearch.h"
#include "scan/Scanner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A fixture on disk, made once: 2,000 files and their folders, names of mixed case,
// some not UTF-8.
class NameSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/namesearch-XXXXXX";
        s_root = ::mkdtemp(pattern);
        const char* words[]
            = { "Photo", "report", "ReadMe", "cache", "a.LOG", "x[1]", "caf\xc3\xa9", "\xff\xfe" };
        for (int i = 0; i < 2000; ++i) {
            const fs::path folder = fs::path(s_root) / ("Dir" + std::to_string(i % 17)) / words[i % 5];
            fs::create_directories(folder);
            std::ofstream(folder / (std::string(words[(i * 7) % 8]) + "-" + std::to_string(i) + ".Dat"))
                << std::string(std::size_t(i % 50), 'x');
        }
        s_tree = new FileTree(Scanner(s_root).run());
    }
    static void TearDownTestSuite()
    {
        delete s_tree;
        fs::remove_all(s_root);
    }

    static long findCount(const std::string& iname)
    {
        const std::string command = "find '" + s_root + "' -mindepth 1 -iname '" + iname + "' | wc -l";
        FILE* pipe = ::popen(command.c_str(), "r");
        long count = -1;
        if (pipe && std::fscanf(pipe, "%ld", &count) != 1)
            count = -1;
        if (pipe)
            ::pclose(pipe);
        return count;
    }

    static inline std::string s_root;
    static inline FileTree* s_tree = nullptr;
};

TEST_F(NameSearchTest, CountsEqualFindIname)
{
    // query, as a regular expression?, the same question for find -iname
    const std::vector<std::tuple<std::string, bool, std::string>> table = {
        { "REPORT-1", false, "*report-1*" },
        { "dir1", false, "*dir1*" },
        { "[pc]*-1?.dat", false, "[pc]*-1?.dat" },
        { "x\\[1]*", false, "x\\[1]*" },
        { "^cache-.*5\\.dat$", true, "cache-*5.dat" },
    };
    const std::atomic<bool> never { false };
    for (const auto& [query, regex, iname] : table) {
        std::string error;
        const auto search = NameSearch::compile(query, regex, error);
        ASSERT_TRUE(search) << query << ": " << error;
        const auto found = search->run(s_tree->root, never);
        ASSERT_TRUE(found);
        const auto serial = search->runSerially(s_tree->root);
        EXPECT_EQ(std::tuple(long(found->items.size()), serial.items.size(), serial.size),
            std::tuple(findCount(iname), found->items.size(), found->size))
            << query;
        EXPECT_TRUE(std::is_sorted(found->items.begin(), found->items.end(),
            [](const FileNode* a, const FileNode* b) {
                return a->size != b->size ? a->size > b->size : a->name() < b->name();
            }))
            << query;
        auto byAddress = [](std::vector<const FileNode*> items) { return std::ranges::sort(items), items; };
        EXPECT_EQ(byAddress(found->items), byAddress(serial.items)) << query;
    }
}

TEST_F(NameSearchTest, ANewQueryCancelsTheOneBefore)
{
    std::string error;
    const auto dirs = NameSearch::compile("dir", false, error);
    SearchSession session;
    const SearchSession::Flag first = session.renew();
    const SearchSession::Flag second = session.renew();
    EXPECT_FALSE(dirs->run(s_tree->root, *first));
    EXPECT_TRUE(dirs->run(s_tree->root, *second));
}

} // namespace
