// SPDX-License-Identifier: MIT
// find TREE [RUNS]: name search over the scanned TREE in memory, a common substring and
// a rare one, each the median time to the complete, sorted result list; beside a plain
// single-threaded walk of the in-memory names and beside `find -iname` over TREE on disk.
#include "BenchTiming.h"

#include "model/NameSearch.h"
#include "scan/Scanner.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using timing::Clock;
using timing::median;
using timing::msSince;

struct Figures {
    double parallelMs = 0;
    double serialMs = 0;
    double findMs = 0;
    std::size_t count = 0;
    long findCount = 0;
};

long findCount(const std::string& tree, const std::string& query)
{
    const std::string command = "find '" + tree + "' -mindepth 1 -iname '*" + query + "*' | wc -l";
    FILE* pipe = ::popen(command.c_str(), "r");
    long count = -1;
    if (pipe) {
        if (std::fscanf(pipe, "%ld", &count) != 1)
            count = -1;
        ::pclose(pipe);
    }
    return count;
}

Figures measure(const FileNode* root, const std::string& tree, const std::string& query, int runs)
{
    std::string error;
    const auto search = NameSearch::compile(query, false, error);
    if (!search) {
        std::fprintf(stderr, "find: %s\n", error.c_str());
        std::exit(1);
    }
    Figures figures;
    std::vector<double> parallel, serial, peer;
    const std::atomic<bool> never { false };
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        const auto found = search->run(root, never);
        parallel.push_back(msSince(start));
        figures.count = found ? found->items.size() : 0;
        start = Clock::now();
        const auto plain = search->runSerially(root);
        serial.push_back(msSince(start));
        if (plain.items.size() != figures.count) {
            std::fprintf(stderr, "find: the walks disagree (%zu, %zu)\n", figures.count, plain.items.size());
            std::exit(1);
        }
        start = Clock::now();
        figures.findCount = findCount(tree, query);
        peer.push_back(msSince(start));
    }
    figures.parallelMs = median(parallel);
    figures.serialMs = median(serial);
    figures.findMs = median(peer);
    std::printf("\"%s\": %zu matches (find -iname: %ld); search %.1f ms, single-threaded walk %.1f ms, find "
                "-iname %.0f ms\n",
        query.c_str(), figures.count, figures.findCount, figures.parallelMs, figures.serialMs,
        figures.findMs);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: find TREE [RUNS]\n");
        return 2;
    }
    const std::string tree = argv[1];
    const int runs = argc > 2 ? std::max(3, std::atoi(argv[2])) : 7;
    Scanner scanner(tree);
    const FileTree scanned = scanner.run();
    std::printf("tree: %s, %lld files\n", tree.c_str(), static_cast<long long>(scanned.root->fileCount));
    const Figures common = measure(scanned.root, tree, "report", runs);
    const Figures rare = measure(scanned.root, tree, "q7zb", runs);
    const bool agree = long(common.count) == common.findCount && long(rare.count) == rare.findCount;
    std::printf("find: find_ms=%.1f rare_ms=%.1f serial_ms=%.1f find_iname_ms=%.0f counts_agree=%d\n",
        common.parallelMs, rare.parallelMs, common.serialMs, common.findMs, agree ? 1 : 0);
    return agree ? 0 : 1;
}
