// SPDX-License-Identifier: MIT
#include "platform/ParallelFor.h"
#include "support/TestTree.h"
#include "treemap/TreemapRenderer.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

const std::vector<RGB> kColors(10, RGB{0.3, 0.6, 0.9});

// A folder of `fanOut` folders, `levels` deep, with `fanOut` files at the bottom.
FileNode* uniformTree(TestTree& t, int levels, int fanOut)
{
    std::vector<FileNode*> children;
    for (int i = 0; i < fanOut; ++i)
        children.push_back(levels > 1 ? uniformTree(t, levels - 1, fanOut) : t.file("f", 1000, 5));
    return t.folder("d", children);
}

TEST(RenderJobs, TheTreeIsCutBreadthFirstUntilMoreThan255Jobs)
{
    TestTree t;
    std::size_t jobs = 0;
    const TreemapRenderer renderer{.colors = kColors};
    const auto runJobs = [&](std::size_t count, const std::function<void(std::size_t)>& body) {
        jobs = count;
        Dispatch::parallelFor(count, body);
    };
    CancelToken token;
    // 10, then 100, then 1000 jobs: the limit is tested before a pass, not during it.
    EXPECT_FALSE(renderer.render(uniformTree(t, 3, 10), 400, 400, token, runJobs).isNull());
    EXPECT_EQ(jobs, 1000u);
    // A single file has nothing to open.
    EXPECT_FALSE(renderer.render(t.file("f", 5, 5), 40, 40, token, runJobs).isNull());
    EXPECT_EQ(jobs, 1u);
    // Children covering no pixel centre get no job.
    EXPECT_FALSE(renderer.render(uniformTree(t, 2, 30), 10, 10, token, runJobs).isNull());
    EXPECT_LE(jobs, 100u);
}

TEST(RenderCancel, ATokenCancelledBeforehandStopsAfterTheFirstPass)
{
    TestTree t;
    bool ranJobs = false;
    const TreemapRenderer renderer{.colors = kColors};
    const auto runJobs = [&](std::size_t, const std::function<void(std::size_t)>&) { ranJobs = true; };
    CancelToken token;
    token.cancel();
    EXPECT_TRUE(renderer.render(uniformTree(t, 2, 5), 50, 50, token, runJobs).isNull());
    EXPECT_FALSE(ranJobs);
}

TEST(RenderCancel, CancellingWhileTheJobsRunYieldsNothingEvenWhenAllFinished)
{
    TestTree t;
    FileNode* root = uniformTree(t, 3, 9);
    CancelToken token;
    std::atomic<std::size_t> finished = 0;
    const TreemapRenderer renderer{.colors = kColors};
    const auto runJobs = [&](std::size_t count, const std::function<void(std::size_t)>& body) {
        Dispatch::parallelFor(count, [&](std::size_t i) {
            body(i);
            ++finished;
        });
        token.cancel();
        EXPECT_EQ(finished.load(), count);
    };
    EXPECT_TRUE(renderer.render(root, 300, 300, token, runJobs).isNull());
    EXPECT_GT(finished.load(), 255u);
}

} // namespace
