// SPDX-License-Identifier: MIT
#include "platform/FileTrash.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

void writeFile(const fs::path& file, const std::string& content)
{
    std::ofstream(file, std::ios::binary) << content;
}

std::vector<std::string> entries(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A home, an XDG data home that does not exist yet, a working folder and a folder of
// items, all in one temporary folder (so on the same volume as the home).
class FileTrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_root = m_temp.path().toStdString();
        fs::create_directories(home());
        fs::create_directories(cwd());
        fs::create_directories(items());
        m_savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        m_savedCwd = fs::current_path();
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
        fs::current_path(cwd());
    }
    void TearDown() override
    {
        fs::current_path(m_savedCwd);
        ::setenv("HOME", m_savedHome.c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        // Qt cannot remove names that are not UTF-8.
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    fs::path home() const { return m_root / "home"; }
    fs::path dataHome() const { return home() / ".local/share"; }
    fs::path trashFiles() const { return dataHome() / "Trash/files"; }
    fs::path trashInfo() const { return dataHome() / "Trash/info"; }
    fs::path cwd() const { return m_root / "cwd"; }
    fs::path items() const { return m_root / "items"; }

    QTemporaryDir m_temp;
    fs::path m_root;
    std::string m_savedHome;
    fs::path m_savedCwd;
};

TEST_F(FileTrashTest, MovesFilesAndFoldersIntoTheDataHomeTrashWhichItCreates)
{
    ASSERT_FALSE(fs::exists(dataHome()));
    writeFile(items() / "notes.txt", "keep me");
    fs::create_directories(items() / "album/inner");
    writeFile(items() / "album/one.jpg", "1");
    writeFile(items() / "album/inner/two.jpg", "22");

    const FileTrash trash;
    const auto file = trash.moveToTrash((items() / "notes.txt").string());
    const auto folder = trash.moveToTrash((items() / "album").string());

    ASSERT_TRUE(file.moved) << file.reason.toStdString();
    ASSERT_TRUE(folder.moved) << folder.reason.toStdString();
    EXPECT_TRUE(file.reason.isEmpty());
    EXPECT_EQ(file.location, (trashFiles() / "notes.txt").string());
    EXPECT_EQ(readAll(trashFiles() / "notes.txt"), "keep me");
    EXPECT_EQ(readAll(trashFiles() / "album/inner/two.jpg"), "22");
    EXPECT_TRUE(fs::exists(trashInfo() / "notes.txt.trashinfo"));
    EXPECT_TRUE(entries(items()).empty());
    // Qt's trap would have put them under the working folder.
    EXPECT_TRUE(entries(cwd()).empty());
}

TEST_F(FileTrashTest, AnUnusableDataHomeLeavesTheItemWhereItWas)
{
    // A data home below a plain file cannot be created: Qt then reports success after
    // moving the item into files/ of the working folder.
    writeFile(m_root / "blocker", "");
    ::setenv("XDG_DATA_HOME", (m_root / "blocker/share").c_str(), 1);
    writeFile(items() / "report.pdf", "pdf bytes");

    const auto outcome = FileTrash().moveToTrash((items() / "report.pdf").string());

    EXPECT_FALSE(outcome.moved);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_EQ(readAll(items() / "report.pdf"), "pdf bytes");
    EXPECT_FALSE(fs::exists(cwd() / "files/report.pdf"));
    EXPECT_FALSE(fs::exists(cwd() / "info/report.pdf.trashinfo"));
}

TEST_F(FileTrashTest, InjectedMoversAreCheckedLikeTheRealOne)
{
    writeFile(items() / "a.txt", "a");
    writeFile(items() / "b.txt", "b");
    fs::create_directories(m_root / "elsewhere/files");

    // Claims success but puts the item somewhere that is not a trash.
    const FileTrash misplacing([this](const std::string& path) {
        const std::string to = (m_root / "elsewhere/files" / fs::path(path).filename()).string();
        fs::rename(path, to);
        return FileTrash::Outcome { true, to, {} };
    });
    const auto misplaced = misplacing.moveToTrash((items() / "a.txt").string());
    EXPECT_FALSE(misplaced.moved);
    EXPECT_EQ(readAll(items() / "a.txt"), "a");
    EXPECT_TRUE(entries(m_root / "elsewhere/files").empty());

    // Refuses with a reason of its own, which is passed on.
    const FileTrash refusing([](const std::string& path) {
        return FileTrash::Outcome { false, path, QStringLiteral("Operation not permitted") };
    });
    const auto refused = refusing.moveToTrash((items() / "b.txt").string());
    EXPECT_FALSE(refused.moved);
    EXPECT_EQ(refused.reason, QStringLiteral("Operation not permitted"));
    EXPECT_TRUE(fs::exists(items() / "b.txt"));
}

TEST_F(FileTrashTest, NamesThatAreNotUtf8OrVeryLongReachTheRealFile)
{
    const std::string odd = "caf\xe9 \xff\xfe.txt"; // Latin-1 bytes, invalid UTF-8
    const std::string longName = std::string(251, 'n') + ".txt";
    const std::string oddPath = (items() / odd).string();
    const std::string longPath = (items() / longName).string();
    writeFile(oddPath, "latin");
    writeFile(longPath, "long");
    fs::create_directories(items() / "again");
    writeFile(items() / "again" / odd, "second");

    const FileTrash trash;
    const auto first = trash.moveToTrash(oddPath);
    const auto second = trash.moveToTrash((items() / "again" / odd).string());
    const auto longOne = trash.moveToTrash(longPath);

    ASSERT_TRUE(first.moved) << first.reason.toStdString();
    ASSERT_TRUE(second.moved) << second.reason.toStdString();
    ASSERT_TRUE(longOne.moved) << longOne.reason.toStdString();
    EXPECT_EQ(first.location, (trashFiles() / odd).string());
    EXPECT_NE(second.location, first.location); // same name: a second entry, nothing replaced
    EXPECT_EQ(readAll(first.location), "latin");
    EXPECT_EQ(readAll(second.location), "second");
    EXPECT_EQ(readAll(longOne.location), "long");
    EXPECT_FALSE(fs::exists(oddPath));
    EXPECT_FALSE(fs::exists(longPath));

    // The record names the original bytes, percent-encoded.
    const std::string record = readAll(trashInfo() / (odd + ".trashinfo"));
    const auto pathLine = record.find("Path=");
    ASSERT_NE(pathLine, std::string::npos);
    const std::string encoded = record.substr(pathLine + 5, record.find('\n', pathLine) - pathLine - 5);
    EXPECT_EQ(QByteArray::fromPercentEncoding(QByteArray::fromStdString(encoded)).toStdString(), oddPath);
    EXPECT_NE(record.find("DeletionDate="), std::string::npos);
}

TEST_F(FileTrashTest, MissingItemsAndSymbolicLinks)
{
    const auto missing = FileTrash().moveToTrash((items() / "gone.txt").string());
    EXPECT_FALSE(missing.moved);
    EXPECT_FALSE(missing.reason.isEmpty());

    // A link goes to the trash; what it points at stays.
    writeFile(items() / "target.txt", "target");
    fs::create_symlink(items() / "target.txt", items() / "link");
    const auto link = FileTrash().moveToTrash((items() / "link").string());
    ASSERT_TRUE(link.moved) << link.reason.toStdString();
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link.location)));
    EXPECT_EQ(readAll(items() / "target.txt"), "target");
    EXPECT_FALSE(fs::exists(fs::symlink_status(items() / "link")));

    // The trash is chosen by where the link lies, not by what it points at: a dangling
    // link moves too.
    fs::create_symlink(items() / "nowhere", items() / "dangling");
    const auto dangling = FileTrash().moveToTrash((items() / "dangling").string());
    ASSERT_TRUE(dangling.moved) << dangling.reason.toStdString();
    EXPECT_EQ(fs::read_symlink(dangling.location), items() / "nowhere");
    EXPECT_FALSE(fs::exists(fs::symlink_status(items() / "dangling")));
    EXPECT_TRUE(fs::exists(trashInfo() / "dangling.trashinfo"));
}

TEST(FileTrashLocation, AcceptsOnlyItemsDirectlyInATrashFilesFolder)
{
    EXPECT_TRUE(FileTrash::isTrashLocation("/home/u/.local/share/Trash/files/a.txt", 1000));
    EXPECT_TRUE(FileTrash::isTrashLocation("/media/usb/.Trash-1000/files/a.txt", 1000));
    EXPECT_TRUE(FileTrash::isTrashLocation("/media/usb/.Trash/1000/files/dir", 1000));
    EXPECT_TRUE(FileTrash::isTrashLocation("/media/usb/.Trash/1000/files/dir/", 1000));

    EXPECT_FALSE(FileTrash::isTrashLocation("./files/a.txt", 1000)); // relative
    EXPECT_FALSE(FileTrash::isTrashLocation("/work/files/a.txt", 1000)); // no trash folder
    EXPECT_FALSE(FileTrash::isTrashLocation("/media/usb/.Trash-1001/files/a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/media/usb/.Trash/1001/files/a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/media/usb/1000/files/a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/home/u/Trash/files/sub/a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/home/u/Trash/info/a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/home/u/Trash/files/../../a.txt", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("/home/u/Trash/files", 1000));
    EXPECT_FALSE(FileTrash::isTrashLocation("", 1000));
}

} // namespace
