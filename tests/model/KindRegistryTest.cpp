// SPDX-License-Identifier: MIT
#include "model/KindRegistry.h"
#include "model/support/FakeTypeDatabase.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>

#include <set>
#include <thread>

namespace {

std::string extensionOf(std::string_view name)
{
    const std::optional<QString> e = KindRegistry::pathExtension(name);
    return e ? "[" + e->toStdString() + "]" : "none";
}

} // namespace

TEST(PathExtension, FollowsTheUsableExtensionRules)
{
    const std::pair<std::string_view, std::string> cases[] = {
        {"Photo.JPG", "[jpg]"},
        {"archive.tar.gz", "[gz]"},
        {"backup.001", "none"},           // all digits
        {"notes.", "none"},               // empty ending
        {".profile", "none"},             // hidden name, the dot comes first
        {"..", "none"},
        {"file.a+b", "none"},             // plus sign
        {"report.final version", "none"}, // space
        {"x.tar~", "none"},
        {"noext", "none"},
        {"", "none"},
        {"song.mp3", "[mp3]"},            // digits are fine beside a letter
        {"a.b-c_d", "[b-c_d]"},
        {"x.abcdefghijkl", "[abcdefghijkl]"}, // 12 characters
        {"x.abcdefghijklm", "none"},          // 13 characters
        {".hidden.TXT", "[txt]"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(extensionOf(name), expected) << "name: " << name;
}

TEST(PathExtension, CountsUnicodeLettersAndCharactersNotBytes)
{
    EXPECT_EQ(extensionOf("Rapport.ÉTÉ"), "[été]");
    // The same ending decomposed (e + combining acute) is the same extension.
    EXPECT_EQ(extensionOf("Rapport.E\xCC\x81T\xC3\x89"), "[été]");
    EXPECT_EQ(extensionOf("メモ.日本語"), "[日本語]");
    // Twelve two-byte letters fit although they are 24 bytes; thirteen do not.
    EXPECT_EQ(extensionOf("x.ααααααααααααα"), "none");
    EXPECT_EQ(extensionOf("x.αααααααααααα"), "[αααααααααααα]");
    // Arabic-Indic digits are numeric but not letters.
    EXPECT_EQ(extensionOf("x.\xD9\xA1\xD9\xA2"), "none");
    // Bytes that are not UTF-8 never make an extension (and never crash).
    EXPECT_EQ(extensionOf("x.ab\xFF"), "none");
    EXPECT_EQ(extensionOf("x.\xC3"), "none");
}

TEST(KindRegistry, StartsWithTheFiveFixedKinds)
{
    FakeTypeDatabase types;
    KindRegistry kinds(types);
    ASSERT_EQ(kinds.count(), 5);
    EXPECT_EQ(kinds.name(0), "Free Space");
    EXPECT_EQ(kinds.name(1), "Other Space");
    EXPECT_EQ(kinds.name(2), "Folder");
    EXPECT_EQ(kinds.name(3), "Symbolic Link");
    EXPECT_EQ(kinds.name(4), "Document (no extension)");
    EXPECT_FALSE(kinds.type(0));
    EXPECT_FALSE(kinds.type(1));
    EXPECT_EQ(kinds.type(2), TypeDatabase::folderType());
    EXPECT_EQ(kinds.type(3), TypeDatabase::symlinkType());
    EXPECT_EQ(kinds.type(4), TypeDatabase::genericDataType());
    // Out of range.
    EXPECT_EQ(kinds.name(-1), "Unknown");
    EXPECT_EQ(kinds.name(kinds.count()), "Unknown");
    EXPECT_FALSE(kinds.type(-1));
    EXPECT_FALSE(kinds.type(kinds.count()));
}

TEST(KindRegistry, FilesWithoutExtensionNeverAskTheSystem)
{
    FakeTypeDatabase types;
    KindRegistry kinds(types);
    for (const char* name : {"Makefile", ".bashrc", "backup.001", "odd.a+b"})
        EXPECT_EQ(kinds.kindForFile(name), KindRegistry::kNoExtension) << name;
    EXPECT_EQ(types.dataQueries, 0);
    EXPECT_EQ(kinds.count(), 5);
}

TEST(KindRegistry, ExtensionsWithOneDescriptionShareAKindAndHitTheCache)
{
    FakeTypeDatabase types;
    types.data.insert("jpg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("jpeg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("png", FakeTypeDatabase::type("image/png", "PNG image"));
    KindRegistry kinds(types);

    const std::int32_t a = kinds.kindForFile("a.JPG");
    const std::int32_t b = kinds.kindForFile("b.jpeg");
    EXPECT_EQ(a, 5);
    EXPECT_EQ(a, b);
    EXPECT_EQ(kinds.name(a), "JPEG image");
    EXPECT_EQ(kinds.type(a)->name, "image/jpeg");
    EXPECT_EQ(kinds.kindForFile("c.png"), 6);
    EXPECT_EQ(types.dataQueries, 3);

    EXPECT_EQ(kinds.kindForFile("again.jpg"), a);
    EXPECT_EQ(kinds.kindForFile("AGAIN.Jpeg"), a);
    EXPECT_EQ(types.dataQueries, 3) << "a known extension must be answered from the cache";
    EXPECT_EQ(kinds.count(), 7);
}

TEST(KindRegistry, UnknownOrUndescribedExtensionsMakeUpperCaseFileKinds)
{
    FakeTypeDatabase types;
    types.data.insert("abc", FakeTypeDatabase::type("application/x-abc", "")); // registered, no text
    KindRegistry kinds(types);

    const std::int32_t xyz = kinds.kindForFile("thing.xyz");
    EXPECT_EQ(kinds.name(xyz), "XYZ File");
    EXPECT_FALSE(kinds.type(xyz)) << "a made-up type is not kept";
    EXPECT_EQ(kinds.kindForFile("other.XYZ"), xyz);

    const std::int32_t abc = kinds.kindForFile("a.abc");
    EXPECT_EQ(kinds.name(abc), "ABC File");
    ASSERT_TRUE(kinds.type(abc));
    EXPECT_EQ(kinds.type(abc)->name, "application/x-abc");
    EXPECT_EQ(types.dataQueries, 2);
}

TEST(KindRegistry, RegistrationCapitalisesAndMergesWithFixedNames)
{
    FakeTypeDatabase types;
    types.data.insert("bz2", FakeTypeDatabase::type("application/x-bzip2", "bzip2 archive"));
    types.data.insert("dir", FakeTypeDatabase::type("inode/x-weird", "folder"));
    types.data.insert("ub", FakeTypeDatabase::type("text/x-ub", "über text"));
    KindRegistry kinds(types);

    EXPECT_EQ(kinds.name(kinds.kindForFile("a.bz2")), "Bzip2 archive");
    EXPECT_EQ(kinds.kindForFile("x.dir"), KindRegistry::kFolder);
    EXPECT_EQ(kinds.type(KindRegistry::kFolder), TypeDatabase::folderType()) << "the first type stays";
    EXPECT_EQ(kinds.name(kinds.kindForFile("x.ub")), "Über text");
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

    EXPECT_FALSE(kinds.packageForDirectory("photos.2024"));
    EXPECT_FALSE(kinds.packageForDirectory("Documents"));
    EXPECT_EQ(types.packageQueries, 1) << "names without an extension never ask";

    EXPECT_FALSE(kinds.packageForDirectory("Data.xyz"));
    EXPECT_FALSE(kinds.packageForDirectory("More.xyz"));
    EXPECT_FALSE(kinds.packageForDirectory("x.dyn"));
    EXPECT_FALSE(kinds.packageForDirectory("y.dyn"));
    EXPECT_EQ(types.packageQueries, 3) << "a known non-package is cached as such";

    EXPECT_EQ(kinds.name(*kinds.packageForDirectory("a.bndl")), "BNDL Package");
    // A package kind and a file kind are separate caches: a file named x.app is not
    // a package.
    EXPECT_NE(kinds.kindForFile("x.app"), *app);
}

TEST(KindRegistry, ConcurrentClassificationAgreesOnIdentifiers)
{
    FakeTypeDatabase types;
    types.data.insert("jpg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    types.data.insert("jpeg", FakeTypeDatabase::type("image/jpeg", "JPEG image"));
    KindRegistry kinds(types);
    const char* names[] = {"a.jpg", "b.jpeg", "c.e1", "d.e2", "e.e3", "f.e4", "g", "h.e5"};
    std::vector<std::vector<std::int32_t>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round)
                for (const char* name : names) {
                    seen[t].push_back(kinds.kindForFile(name));
                    (void)kinds.name(seen[t].back());
                }
        });
    for (auto& thread : threads)
        thread.join();
    for (int t = 1; t < 4; ++t)
        EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(kinds.count(), 5 + 6); // jpeg shared, e1…e5, plus the fixed five
    EXPECT_EQ(types.dataQueries, 7) << "each extension misses once";
}

TEST(KindRegistry, SystemDatabaseGroupsByDescription)
{
    if (!QMimeDatabase().mimeTypeForName("image/jpeg").isValid())
        GTEST_SKIP() << "no shared-mime-info on this machine";
    KindRegistry kinds;
    const std::int32_t jpg = kinds.kindForFile("Photo.JPG");
    EXPECT_EQ(kinds.kindForFile("b.jpeg"), jpg);
    EXPECT_NE(kinds.name(jpg), "JPG File");
    EXPECT_EQ(kinds.type(jpg)->name, "image/jpeg");
    EXPECT_EQ(kinds.name(kinds.kindForFile("x.qqzzqq")), "QQZZQQ File");
    const std::optional<std::int32_t> app = kinds.packageForDirectory("Tool.app");
    ASSERT_TRUE(app);
    EXPECT_EQ(kinds.name(*app), "Application bundle");
    EXPECT_FALSE(kinds.packageForDirectory("Data.xyz"));
}
