// SPDX-License-Identifier: MIT
// model [FILES] [RUNS]: classification and kind totals over the generated in-memory tree
// (1M files by default), each run timed on its own; prints medians beside a plain walk
// of the same tree that only sums sizes, so the ratio is the cost of the kinds.
#include "BenchTiming.h"
#include "TreeGenerator.h"

#include "model/TallyfernDocument.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using timing::Clock;
using timing::median;
using timing::msSince;

// The peer: the cheapest full walk there is, touching every node once.
std::int64_t plainWalk(const FileNode* root, std::size_t& visited)
{
    std::int64_t sum = 0;
    visited = 0;
    std::vector<const FileNode*> stack { root };
    while (!stack.empty()) {
        const FileNode* node = stack.back();
        stack.pop_back();
        for (const FileNode* child : node->children()) {
            ++visited;
            if (child->isDirectory())
                stack.push_back(child);
            else
                sum += child->size;
        }
    }
    return sum;
}

void report(const char* what, const std::vector<double>& runs, double perMillion)
{
    char label[16];
    std::snprintf(label, sizeof label, "%-10s", what);
    timing::printSpread(label, runs);
    std::printf("  %.1f ms per million entries\n", median(runs) * perMillion);
}

} // namespace

int main(int argc, char** argv)
{
    TreeGenerator::Options options;
    const int runs = timing::runArguments(argc, argv, options.targetFiles);

    const Clock::time_point built = Clock::now();
    FileTree tree = TreeGenerator::buildInMemory(options);
    std::printf("tree: %zu files requested, built in %.0f ms\n", options.targetFiles, msSince(built));

    std::size_t entries = 0;
    std::vector<double> walk;
    std::int64_t walked = 0;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        walked = plainWalk(tree.root, entries);
        walk.push_back(msSince(start));
    }
    const double perMillion = 1e6 / double(std::max<std::size_t>(entries, 1));

    // Install once (classification and totals) to have a document to total; then every
    // classification run starts from a fresh registry, as a new scan would.
    const VolumeFactsProvider noVolume = [](const std::string&) { return std::optional<VolumeFacts>(); };
    TallyfernDocument installed("/bench", noVolume, "bench");
    installed.install(std::move(tree));

    std::vector<double> classify;
    for (int i = 0; i < runs; ++i) {
        TallyfernDocument fresh("/bench", noVolume, "bench");
        const Clock::time_point start = Clock::now();
        fresh.classify(installed.root());
        classify.push_back(msSince(start));
    }
    installed.classify(installed.root()); // identifiers of the installed registry again

    std::vector<double> kindStats;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        installed.computeKindStats();
        kindStats.push_back(msSince(start));
    }
    std::int64_t totalled = 0;
    for (const KindStat& stat : installed.kindStats)
        totalled += stat.size;

    std::printf("entries below the root: %zu; %d kinds, %zu with files\n", entries, installed.kinds().count(),
        installed.kindStats.size());
    report("walk", walk, perMillion);
    report("classify", classify, perMillion);
    report("kindstats", kindStats, perMillion);
    std::printf("ratio to the plain walk: classify %.1fx, kindstats %.1fx\n", median(classify) / median(walk),
        median(kindStats) / median(walk));
    if (totalled != walked) {
        std::printf("model: kind totals %lld differ from the walk's %lld\n", static_cast<long long>(totalled),
            static_cast<long long>(walked));
        return 1;
    }
    std::printf("model: classify_ms=%.1f kindstats_ms=%.1f entries=%zu\n", median(classify),
        median(kindStats), entries);
    return 0;
}
