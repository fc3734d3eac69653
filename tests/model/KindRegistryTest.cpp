// SPDX-License-Identifier: MIT
#include "model/KindRegistry.h"
#include "model/support/FakeTypeDatabase.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>

#include <thread>
#include <tuple>

TEST(PathExtension, FollowsTheUsableExtensionRules)
{
    const std::pair<std::string_view, std::string> cases[] = {
        { "Photo.JPG", "[jpg]" }, { "archive.tar.gz", "[gz]" }, { "backup.001", "none" }, // all digits
        { "notes.", "none" }, { ".profile", "none" }, // hidden name, the dot comes first
        { ".hidden.TXT", "[txt]" }, { "file.a+b", "none" }, { "song.mp3", "[mp3]" }, { "", "none" },
        { "x.abcdefghijkl", "[abcdefghijkl]" }, { "x.abcdefghijklm", "none" }, // 12 characters, 13
        { "Rapport.ÉTÉ", "[été]" }, { "Rapport.E\xCC\x81T\xC3\x89", "[été]" }, // decomposed, the same
        { "x.αααααααααααα", "[αααααααααααα]" }, { "x.ααααααααααααα", "none" }, // characters, not bytes
        { "x.\xD9\xA1\xD9\xA2", "none" }, // Arabic-Indic digits are no letters
        { "x.ab\xFF", "none" }, { "x.\xC3", "none" }, // not UTF-8
    };
    for (const auto& [name, expected] : cases) {
        const std::optional<QString> e = KindRegistry::pathExtension(name);
        EXPECT_EQ(e ? e->toStdString().insert(0, 1, '[') + "]" : "none", expected) << "name: " << name;
    }
}

TEST(KindRegistry, FilesShareKindsByDescriptionAndAskTheSystemOncePerExtension)
{
    FakeTypeDatabase types;
    types.data.insert("jpg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("jpeg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("abc", FakeTypeDatabase::type("application/x-abc", "")); // no text
    types.data.insert("dir", FakeTypeDatabase::type("inode/x-weird", "folder"));
    KindRegistry kinds(types);
    for (int outside : { -1, 5, 1000 })
        EXPECT_TRUE(kinds.name(outside) == "Unknown" && !kinds.type(outside));
    for (const char* name : { "Makefile", ".bashrc", "backup.001", "odd.a+b" })
        EXPECT_EQ(kinds.kindForFile(name), KindRegistry::kNoExtension) << name;
    EXPECT_EQ(types.dataQueries, 0);

    const std::int32_t jpeg = kinds.kindForFile("a.JPG"), xyz = kinds.kindForFile("thing.xyz"),
                       abc = kinds.kindForFile("a.abc");
    EXPECT_EQ(
        std::tuple(jpeg, kinds.kindForFile("b.jpeg"), kinds.name(jpeg)), std::tuple(5, jpeg, "JPEG image"));
    EXPECT_EQ(
        std::pair(kinds.name(xyz), kinds.name(abc)), std::pair(QString("XYZ File"), QString("ABC File")));
    EXPECT_FALSE(kinds.type(xyz)) << "a made-up type is not kept";
    EXPECT_EQ(kinds.type(abc)->name, "application/x-abc");
    // A description that capitalises to a fixed name is that kind; its type stays.
    EXPECT_EQ(kinds.kindForFile("x.dir"), KindRegistry::kFolder);
    EXPECT_EQ(kinds.type(KindRegistry::kFolder), TypeDatabase::folderType());
    EXPECT_EQ(types.dataQueries, 5);
    EXPECT_EQ(
        std::pair(kinds.kindForFile("AGAIN.Jpeg"), kinds.kindForFile("other.XYZ")), std::pair(jpeg, xyz));
    EXPECT_EQ(types.dataQueries, 5) << "known extensions are answered from the cache";
    EXPECT_EQ(kinds.count(), 8);
}

TEST(KindRegistry, PackageFoldersPlainFoldersAndTheNegativeCache)
{
    FakeTypeDatabase types;
    types.packages.insert("app", FakeTypeDatabase::type("inode/x-bundle-app", "Application bundle"));
    types.packages.insert("bndl", FakeTypeDatabase::type("inode/x-bundle-bndl", ""));
    types.packages.insert("dyn", FakeTypeDatabase::type("dyn.x", "Made up", true));
    KindRegistry kinds(types);
    const std::optional<std::int32_t> app = kinds.packageForDirectory("Tool.app");
    ASSERT_TRUE(app);
    EXPECT_EQ(kinds.name(*app), "Application bundle");
    EXPECT_EQ(kinds.packageForDirectory("Other.APP"), app);
    for (const char* plain : { "photos.2024", "Documents", "Data.xyz", "More.xyz", "x.dyn", "y.dyn" })
        EXPECT_FALSE(kinds.packageForDirectory(plain)) << plain;
    EXPECT_EQ(types.packageQueries, 3) << "no extension never asks; a known non-package is cached";
    EXPECT_EQ(kinds.name(*kinds.packageForDirectory("a.bndl")), "BNDL Package");
    EXPECT_NE(kinds.kindForFile("x.app"), *app) << "a file named x.app is no package";
}

TEST(KindRegistry, ConcurrentClassificationAgreesOnIdentifiers)
{
    FakeTypeDatabase types;
    types.data.insert("jpg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("jpeg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    KindRegistry kinds(types);
    const char* names[] = { "a.jpg", "b.jpeg", "c.e1", "d.e2", "e.e3", "f.e4", "g", "h.e5" };
    std::vector<std::vector<std::int32_t>> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round)
                for (const char* name : names)
                    (void)kinds.name(seen[t].emplace_back(kinds.kindForFile(name, true)));
        });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t t = 1; t < seen.size(); ++t)
        EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(kinds.count(), 5 + 6 + 1) << "and g, with an execute bit, an Executable";
    EXPECT_EQ(types.dataQueries, 7) << "each extension misses once";
}

TEST(KindRegistry, NamesWithoutExtensionFallBackToWholeNamePatternsThenTheExecuteBit)
{
    if (!QMimeDatabase().mimeTypeForName("application/x-sharedlib").isValid())
        GTEST_SKIP() << "no shared-mime-info on this machine";
    KindRegistry kinds;
    // name, execute bit, type of its kind; each pattern shape: a class, a literal name,
    // "*~", "*.c++".
    const std::tuple<std::string_view, bool, std::string> cases[] = {
        { "libc.so.6", false, "application/x-sharedlib" },
        { "libc.so.6", true, "application/x-sharedlib" }, // the name wins over the bit
        { "Makefile", false, "text/x-makefile" },
        { "notes~", false, "application/x-trash" },
        { "main.c++", false, "text/x-c++src" },
        { "mytool", true, "application/x-executable" },
        { "archive.tar.gz", false, "application/gzip" }, // the extension rule comes first
        { "run.sh", true, "application/x-shellscript" },
        { "data", false, "application/octet-stream" },
    };
    for (const auto& [name, executable, type] : cases) {
        const std::int32_t kind = kinds.kindForFile(name, executable);
        ASSERT_TRUE(kinds.type(kind)) << name;
        EXPECT_EQ(kinds.type(kind)->name.toStdString(), type) << name;
        EXPECT_EQ(kinds.kindForFile(name, executable), kind) << "again, from the caches: " << name;
    }
    EXPECT_EQ(kinds.kindForFile("data", false), KindRegistry::kNoExtension);
}

// The kept kinds of a walk answer what the registry answers, and new kinds are
// registered in the same order: more extensions than the walk keeps (so some share a
// slot), cases, digits, non-ASCII letters, names without a usable extension.
TEST(ClassifyWalk, KeptKindsMatchTheRegistry)
{
    std::vector<std::string> names { "a.zzq", "B.ZZQ", "c.zzr", "noext", "Makefile", ".hidden", "x.tar.gz",
        "caf\xc3\xa9.\xc3\xa9t\xc3\xa9", "bad.\xff", "v.1", "v.1a", "long.abcdefghijklm", "run" };
    for (int i = 0; i < 600; ++i)
        names.push_back(std::to_string(i).insert(0, 1, 'f') + ".x" + std::to_string(i % 300));
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
