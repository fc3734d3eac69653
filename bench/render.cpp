// SPDX-License-Identifier: MIT
// render [FILES] [RUNS]: renders the benchmark tree at 2560 × 1600 and 3840 × 2160 with
// all cores and with one core (same process, same tree), the median of RUNS renders each,
// then times 10,000 hit tests at random points. Then the same files in one flat folder:
// a render at 2560 × 1600 and 10,000 hit tests as the view makes them (its layouts kept
// between pointer moves). The last line sums it up.
#include "BenchTiming.h"
#include "TreeGenerator.h"

#include "model/Palette.h"
#include "platform/ParallelFor.h"
#include "scan/Scanner.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapRenderer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <vector>

namespace {

using timing::Clock;
using timing::median;
using timing::msSince;

// The generator leaves every node a folder kind; a scan's classification would give
// files real kinds, so hand out 5 … 40 deterministically, as a mix of extensions would.
void assignKinds(FileNode* root)
{
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<std::int32_t> kind(5, 40);
    std::vector<FileNode*> pending { root };
    while (!pending.empty()) {
        FileNode* node = pending.back();
        pending.pop_back();
        node->kind = node->isDirectory() ? 2 : kind(rng);
        for (FileNode* child : node->children())
            pending.push_back(child);
    }
}

// The generated tree's files, all in one folder: a flat folder with a real mix of sizes.
FileTree flatten(const FileNode* root)
{
    FileTree flat;
    flat.root = flat.arena.make("/flat", nullptr, 0, 0, 0, 2, NodeFlags::Directory);
    std::vector<FileNode*> files;
    std::vector<const FileNode*> pending { root };
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        for (const FileNode* child : node->children()) {
            if (child->isDirectory())
                pending.push_back(child);
            else
                files.push_back(flat.arena.make(
                    child->name(), flat.root, child->size, child->logicalSize, 1, child->kind, child->flags));
        }
    }
    flat.arena.adoptChildren(flat.root, files);
    Scanner::finalize(flat.root);
    return flat;
}

// Median microseconds of 10,000 hit tests at random points of a 2560 × 1600 view.
double medianHitUs(const std::function<const FileNode*(double, double)>& hitAt, double* meanDepth)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> ux(0, 2560), uy(0, 1600);
    std::vector<double> hitUs;
    std::size_t depthSum = 0;
    for (int i = 0; i < 10'000; ++i) {
        const double x = ux(rng), y = uy(rng);
        const auto start = Clock::now();
        const FileNode* hit = hitAt(x, y);
        hitUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        depthSum += hit ? hit->depth() : 0;
    }
    *meanDepth = double(depthSum) / 1e4;
    std::printf("  (max %.1f us)", *std::max_element(hitUs.begin(), hitUs.end()));
    return median(hitUs);
}

double renderMs(const TreemapRenderer& renderer, const FileNode* root, int w, int h, unsigned helpers)
{
    const CancelToken token;
    const auto start = Clock::now();
    const QImage image = renderer.render(root, w, h, token, helpers);
    const double ms = msSince(start);
    if (image.isNull() || image.width() != w) {
        std::fprintf(stderr, "render: no image at %d × %d\n", w, h);
        std::exit(1);
    }
    return ms;
}

// All cores and one core at one size, alternating so that a change in the machine's
// load during the run touches both figures alike. Returns {all cores, one core}.
std::pair<double, double> medianRenderMs(
    const TreemapRenderer& renderer, const FileNode* root, int w, int h, int runs)
{
    std::vector<double> all, one;
    for (int i = 0; i < runs; ++i) {
        all.push_back(renderMs(renderer, root, w, h, ~0u));
        one.push_back(renderMs(renderer, root, w, h, 0));
    }
    for (const auto& [times, what] : { std::pair { &all, "all cores" }, std::pair { &one, "one core" } }) {
        char label[64];
        std::snprintf(label, sizeof label, "render %d x %d, %s:", w, h, what);
        timing::printSpread(label, *times);
        std::printf("\n");
    }
    return { median(all), median(one) };
}

} // namespace

int main(int argc, char** argv)
{
    TreeGenerator::Options options;
    const int runs = timing::runArguments(argc, argv, options.targetFiles);

    const auto built = Clock::now();
    FileTree tree = TreeGenerator::buildInMemory(options);
    assignKinds(tree.root);
    std::printf("tree: %zu files, %lld bytes, built in %.0f ms; %u pool threads + caller\n",
        options.targetFiles, static_cast<long long>(tree.root->size), msSince(built), Dispatch::poolSize());

    const std::vector<RGB>& palette = Palette::colors();
    TreemapRenderer renderer;
    for (std::int32_t k = 0; k <= 40; ++k)
        renderer.colors.push_back(palette[std::size_t(k) % palette.size()]);

    (void)renderMs(renderer, tree.root, 2560, 1600, ~0u); // warm caches and the pool
    const auto [all2560, one2560] = medianRenderMs(renderer, tree.root, 2560, 1600, runs);
    const auto [all3840, one3840] = medianRenderMs(renderer, tree.root, 3840, 2160, runs);
    const double speedup2560 = one2560 / all2560;
    const double speedup3840 = one3840 / all3840;
    std::printf(
        "speedup over one core: %.2f at 2560 x 1600, %.2f at 3840 x 2160\n", speedup2560, speedup3840);

    // Hit tests in view points, as the view does on every pointer move.
    const TMRect in { 0, 0, 2560, 1600 };
    double depth = 0;
    const double hit = medianHitUs(
        [&](double x, double y) { return Treemap::hitTest(tree.root, in, x, y, false); }, &depth);
    std::printf(" hit test: median %.2f us of 10000, mean depth of hits %.1f\n", hit, depth);

    const FileTree flat = flatten(tree.root);
    std::printf("flat folder: %zu files\n", flat.root->childCount());
    (void)renderMs(renderer, flat.root, 2560, 1600, ~0u);
    std::vector<double> flatTimes;
    for (int i = 0; i < runs; ++i)
        flatTimes.push_back(renderMs(renderer, flat.root, 2560, 1600, ~0u));
    timing::printSpread("render flat folder 2560 x 1600, all cores:", flatTimes);
    std::printf("\n");
    Treemap::HitTester tester;
    const double flatHit
        = medianHitUs([&](double x, double y) { return tester.hit(flat.root, in, x, y, false); }, &depth);
    std::printf(" flat folder hit test (kept layouts): median %.2f us of 10000\n", flatHit);

    // The lower of the two speedups, so that the summary never flatters.
    std::printf("render: ms_2560=%.1f ms_3840=%.1f speedup=%.2f hit_us=%.2f flat_ms=%.1f flat_hit_us=%.2f\n",
        all2560, all3840, std::min(speedup2560, speedup3840), hit, median(flatTimes), flatHit);
    return 0;
}
