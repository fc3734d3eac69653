// SPDX-License-Identifier: MIT
// Scan options beside folder arguments, read in order in every form the parser accepts
// (refusals are run through the program in LauncherTest).
#include "app/LaunchArguments.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

TEST(LaunchArguments, ScanOptionsAreReadInOrderBesideTheFolders)
{
    QTemporaryDir dir;
    const std::string list = dir.filePath(QStringLiteral("list")).toStdString();
    std::ofstream(list) << "# skipped\n*.o  \n\n!keep.o\n";
    LaunchArguments::Launch launch;
    std::string error;
    // The value of another option is no option; after "--" everything is a folder.
    ASSERT_TRUE(
        LaunchArguments::plan({ "src", "--exclude", "node_modules", "-title", "--exclude", "-exclude-from",
                                  list, "--exclude=share/doc", "--cross-file-systems", "--", "--exclude" },
            "/", launch, error))
        << error;
    EXPECT_EQ(
        launch.scan.excludes, (std::vector<std::string> { "node_modules", "*.o", "!keep.o", "share/doc" }));
    EXPECT_TRUE(launch.scan.crossFileSystems);
    EXPECT_EQ(launch.folders, (std::vector<std::string> { "/src", "/--exclude" }));
}
