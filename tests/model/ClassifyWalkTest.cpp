// SPDX-License-Identifier: MIT
// The classification walk's shortcuts against the plain operations they stand for.
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The kept kinds of a walk answer what the registry answers, and new kinds are
// registered in the same order: more extensions than the walk keeps (so some share a
// slot), cases, digits, non-ASCII letters, names without a usable extension.
TEST(ClassifyWalk, KeptKindsMatchTheRegistry)
{
    std::vector<std::string> names { "a.zzq", "B.ZZQ", "c.zzr", "noext", "Makefile", ".hidden", "x.tar.gz",
        "caf\xc3\xa9.\xc3\xa9t\xc3\xa9", "bad.\xff", "v.1", "v.1a", "long.abcdefghijklm", "run" };
    for (int i = 0; i < 600; ++i)
        names.push_back("f" + std::to_string(i) + ".x" + std::to_string(i % 300));
    for (int i = 0; i < 600; ++i)
        names.push_back(names[std::size_t(i * 7919 % 600 + 13)]);
    KindRegistry plain;
    KindRegistry walked;
    KindRegistry::FileKinds kept(walked);
    for (const std::string& name : names)
        for (const bool executable : { false, true })
            ASSERT_EQ(kept.kindFor(name, executable), plain.kindForFile(name, executable)) << name;
    ASSERT_EQ(walked.count(), plain.count());
    for (std::int32_t k = 0; k < plain.count(); ++k)
        EXPECT_EQ(walked.name(k), plain.name(k));
}

// Install counts the kind totals on its classification walk: the same as counting them
// afterwards, with packages shown as one item or by content, and free space attached.
TEST(ClassifyWalk, InstalledTotalsMatchACountAfterwards)
{
    for (const bool showContents : { false, true }) {
        TreeBuilder b("/vol");
        FileNode* app = b.folder(b.root(), "Tool.app");
        b.file(app, "x.zzq", 300);
        FileNode* inner = b.folder(app, "Inner.app");
        b.file(inner, "y.zzr", 70);
        b.folder(b.root(), "empty");
        FileNode* docs = b.folder(b.root(), "docs");
        b.file(docs, "a.zzq", 50);
        b.file(docs, "b.zzs", 0);
        b.file(docs, "README", 9);
        b.symlink(docs, "link.zzq", 1);
        TallyfernDocument doc("/vol", volume("/vol", 10'000, 4'000, std::nullopt), "vol");
        doc.showPackageContents = showContents;
        doc.install(b.finish());
        ASSERT_EQ(doc.root()->childCount(), 5u) << "free and other space attached";
        const std::vector<KindStat> installed = doc.kindStats;
        const std::vector<RGB> colors = doc.colors;
        doc.computeKindStats();
        EXPECT_EQ(installed, doc.kindStats) << showContents;
        EXPECT_EQ(colors, doc.colors) << showContents;
    }
}
