// SPDX-License-Identifier: MIT
#include "app/LaunchArguments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class LaunchArgumentsFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tallyfern-args-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directory(m_root + "/a b");
        fs::create_directory(m_root + "/real");
        fs::create_directory_symlink(m_root + "/real", m_root + "/link");
        // A name that is not UTF-8 must come through byte for byte.
        fs::create_directory(m_root + "/caf\xe9");
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string m_root;
};

} // namespace

TEST(LaunchArguments, FileUrlsDecodeToBytes)
{
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///home/ann/My%20Files"), "/home/ann/My Files");
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file://localhost/tmp/x"), "/tmp/x");
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/caf%E9"), "/tmp/caf\xe9");
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/100%"), "/tmp/100%"); // stray percent kept
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/a%2"), "/tmp/a%2"); // cut escape kept
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/a%0Ab"), "/tmp/a\nb"); // newline in a name
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/q?x=1#f"), "/tmp/q");
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file://server/share"), ""); // not local
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("file:///tmp/a%00b"), ""); // NUL cannot be a name
    EXPECT_EQ(LaunchArguments::pathOfFileUrl("https://example.org/x"), "");
}

TEST_F(LaunchArgumentsFolders, PathsAndUrlsBecomeAbsoluteResolvedFoldersInOrder)
{
    const auto folders = LaunchArguments::folders(
        { "a b", "file://" + m_root + "/real", m_root + "/link/", "./caf\xe9", m_root + "/missing/../real" },
        m_root);
    ASSERT_EQ(folders.size(), 5u);
    EXPECT_EQ(folders[0], m_root + "/a b");
    EXPECT_EQ(folders[1], m_root + "/real");
    EXPECT_EQ(folders[2], m_root + "/real"); // a link leads to its folder
    EXPECT_EQ(folders[3], m_root + "/caf\xe9");
    EXPECT_EQ(folders[4], m_root + "/real"); // lexically cleaned where the path does not exist
}

TEST_F(LaunchArgumentsFolders, OptionsAreSkippedUntilDoubleDash)
{
    const auto folders
        = LaunchArguments::folders({ "--verbose", "", "-x", "real", "--", "-odd", "file://host/x" }, m_root);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], m_root + "/real");
    EXPECT_EQ(folders[1], m_root + "/-odd"); // after "--" a dash is a name; a remote URL is refused
    EXPECT_TRUE(LaunchArguments::folders({}, m_root).empty());
    // A folder that does not exist is still handed on: the window reports what it finds.
    EXPECT_EQ(LaunchArguments::folders({ "/no/such/folder" }, m_root).front(), "/no/such/folder");
}
