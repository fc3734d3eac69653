// SPDX-License-Identifier: MIT
#include "app/LaunchArguments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using Action = LaunchArguments::Verdict::Action;

TEST(LaunchArguments, OptionsAreJudgedBeforeAnyWindow)
{
    const struct {
        std::vector<std::string> arguments;
        Action action;
        const char* mentions; // in the text
    } cases[] = {
        { { "-h", "/tmp" }, Action::Help, "--exclude <PATTERN>" },
        { { "--SCAN", "/tmp" }, Action::Refuse, "SCAN" },
        { { "/tmp", "--exclude" }, Action::Refuse, "exclude" },
        { { "--cross-file-systems=yes" }, Action::Refuse, "cross-file-systems" },
        // The toolkit's own options, the windowless modes' names in other forms, scan
        // options with their values and anything after "--" start the application.
        { { "-style", "fusion", "-platform=offscreen", "--reverse", "/tmp" }, Action::Open, "" },
        { { "--exclude", "--help", "--exclude-from=f", "\xff" }, Action::Open, "" },
        { { "--", "--bogus", "-h" }, Action::Open, "" },
    };
    for (const auto& c : cases) {
        const LaunchArguments::Verdict verdict = LaunchArguments::check(c.arguments);
        EXPECT_EQ(verdict.action, c.action) << c.arguments.front();
        EXPECT_NE(verdict.text.find(c.mentions), std::string::npos) << verdict.text;
        if (c.action == Action::Refuse)
            EXPECT_EQ(verdict.text.find('\n'), std::string::npos) << verdict.text;
    }
}

TEST(LaunchArguments, FileUrlsDecodeToBytesAndOnlyLocalOnesCount)
{
    const std::pair<const char*, const char*> cases[] = {
        { "file:///home/ann/My%20Files", "/home/ann/My Files" },
        { "file://localhost/tmp/x", "/tmp/x" },
        { "file:///tmp/caf%E9", "/tmp/caf\xe9" }, // not UTF-8: byte for byte
        { "file:///tmp/100%", "/tmp/100%" }, // stray percent kept
        { "file:///tmp/a%2", "/tmp/a%2" }, // cut escape kept
        { "file:///tmp/a%0Ab", "/tmp/a\nb" }, // newline in a name
        { "file:///tmp/q?x=1#f", "/tmp/q" },
        { "file://server/share", "" }, // not local
        { "file:///tmp/a%00b", "" }, // NUL cannot be in a name
        { "https://example.org/x", "" },
        { "sftp://host/dir", "" },
        { "trash:///", "" },
        { "FILE:///tmp", "/tmp" },
        { "File://LOCALHOST/tmp", "/tmp" },
        { "file:/tmp", "/tmp" },
    };
    for (const auto& [url, path] : cases)
        EXPECT_EQ(LaunchArguments::pathOfFileUrl(url), path) << url;
}

TEST(LaunchArguments, PathsAndUrlsBecomeAbsoluteResolvedFoldersInOrder)
{
    char pattern[] = "/tmp/tallyfern-args-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    fs::create_directory(root + "/a b");
    fs::create_directory(root + "/real");
    fs::create_directory_symlink(root + "/real", root + "/link");
    fs::create_directory(root + "/caf\xe9");

    const std::vector<std::string> expected = { root + "/a b", root + "/real", root + "/real",
        root + "/caf\xe9", root + "/real", root + "/-odd", "/no/such/folder", root + "/dir:name" };
    // Options are skipped until "--", after which a dash is a name; a link leads to its
    // folder; a path that does not exist is cleaned lexically and still handed on (the
    // window reports what it finds); a remote URL is refused.
    EXPECT_EQ(LaunchArguments::folders(
                  { "--verbose", "a b", "", "-x", "file://" + root + "/real", root + "/link/", "./caf\xe9",
                      "--", root + "/missing/../real", "-odd", "file://host/x", "/no/such/folder",
                      "smb://s/share", "dir:name" }, // no "//": a relative name
                  root),
        expected);
    EXPECT_TRUE(LaunchArguments::folders({}, root).empty());
    fs::remove_all(root);
}
