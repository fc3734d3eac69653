// SPDX-License-Identifier: MIT
#include "platform/DirectoryReader.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// A folder swapped for a link between its listing and its opening must not lead the
// scan elsewhere: the link is never opened as a folder (its lstat facts the scanner's tests check).
TEST(DirectoryReader, ALinkToAFolderIsNeitherFollowedNorOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    ASSERT_EQ(::mkdir((root + "/real").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("real", (root + "/link").c_str()), 0);
    const DirectoryReader& reader = DirectoryReader::system();
    const int fd = reader.openPath(root.c_str());
    ASSERT_GE(fd, 0);
    const int child = reader.openChild(fd, "real");
    EXPECT_GE(child, 0);
    EXPECT_LT(reader.openChild(fd, "link"), 0);
    EXPECT_EQ(reader.openChild(fd, "missing"), -ENOENT);
    if (child >= 0)
        reader.close(child);
    reader.close(fd);
}
