// SPDX-License-Identifier: MIT
#include "platform/FileTrash.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kUid = std::to_string(::getuid());

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

void writeFile(const fs::path& file, const std::string& content)
{
    std::ofstream(file, std::ios::binary) << content;
}

void setEnv(const char* name, const std::optional<std::string>& value)
{
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

// The Path= of each record as trash tools read it: decoded by Python's URL decoder.
std::vector<std::string> recordedPaths(const std::vector<std::string>& records)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import sys, urllib.parse as u\n"
                           "[print(u.unquote_to_bytes(l[5:].rstrip(b'\\n')).hex()) for l in sys.stdin.buffer "
                           "if l.startswith(b'Path=')]") });
    EXPECT_TRUE(python.waitForStarted());
    for (const std::string& record : records)
        python.write(QByteArray::fromStdString(record));
    python.closeWriteChannel();
    python.waitForFinished();
    std::vector<std::string> paths;
    for (const QByteArray& hex : python.readAllStandardOutput().split('\n'))
        if (!hex.isEmpty())
            paths.push_back(QByteArray::fromHex(hex).toStdString());
    return paths;
}

// A home, an XDG data home that does not exist yet, a working folder and a folder of
// items, all in one temporary folder (so on the same volume as the home).
class FileTrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_root = m_temp.path().toStdString();
        for (const fs::path& folder : { home(), cwd(), items() })
            fs::create_directories(folder);
        m_savedCwd = fs::current_path();
        for (const char* name : { "HOME", "XDG_DATA_HOME" })
            m_savedEnv.emplace_back(
                name, std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
        ::setenv("HOME", home().c_str(), 1);
        ::setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
        fs::current_path(cwd());
    }
    void TearDown() override
    {
        fs::current_path(m_savedCwd);
        for (const auto& [name, value] : m_savedEnv)
            setEnv(name, value);
        std::error_code ec; // Qt cannot remove names that are not UTF-8.
        fs::remove_all(m_root, ec);
    }

    fs::path home() const { return m_root / "home"; }
    fs::path dataHome() const { return home() / ".local/share"; }
    fs::path cwd() const { return m_root / "cwd"; }
    fs::path items() const { return m_root / "items"; }

    QTemporaryDir m_temp;
    fs::path m_root;
    fs::path m_savedCwd;
    std::vector<std::pair<const char*, std::optional<std::string>>> m_savedEnv;
};

TEST_F(FileTrashTest, EveryNameGoesToTheHomeTrashWithARecordThatTrashToolsDecode)
{
    const std::vector<std::string> names { "100% sure.txt", "nl\nname.txt", "caf\xc3\xa9.txt",
        "caf\xe9 \xff.txt", std::string(251, 'n'), "folder", "dangling" };
    for (std::size_t i = 0; i < 5; ++i)
        writeFile(items() / names[i], names[i]);
    fs::create_directories(items() / "folder/inner");
    writeFile(items() / "folder/inner/two.jpg", "22");
    fs::create_symlink(items() / "nowhere", items() / "dangling");

    std::vector<std::string> records;
    std::vector<std::string> expected;
    for (std::string path : names) {
        path = (items() / path).string();
        // Relative to the working folder, as a caller may pass it.
        const auto outcome
            = FileTrash().moveToTrash(path == (items() / "folder").string() ? "../items/folder" : path);
        ASSERT_TRUE(outcome.moved) << path << ": " << outcome.reason.toStdString();
        EXPECT_EQ(fs::path(outcome.location).parent_path(), dataHome() / "Trash/files");
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
        records.push_back(readAll(
            dataHome() / "Trash/info" / (fs::path(outcome.location).filename().string() + ".trashinfo")));
        expected.push_back(path);
    }
    writeFile(items() / names[1], "same name");
    const auto again = FileTrash().moveToTrash((items() / names[1]).string());
    ASSERT_TRUE(again.moved);
    EXPECT_EQ(readAll(again.location), "same name"); // a second entry, nothing replaced
    EXPECT_EQ(readAll(dataHome() / "Trash/info" / (names[1] + ".trashinfo")), records[1]);
    EXPECT_EQ(readAll(dataHome() / "Trash/files" / names[1]), names[1]);
    EXPECT_EQ(readAll(dataHome() / "Trash/files/folder/inner/two.jpg"), "22");
    // A link moves as a link, wherever it points.
    EXPECT_EQ(fs::read_symlink(dataHome() / "Trash/files/dangling"), items() / "nowhere");

    EXPECT_EQ(recordedPaths(records), expected);
    for (const char* folder : { "Trash", "Trash/files", "Trash/info" })
        EXPECT_EQ(fs::status(dataHome() / folder).permissions(), fs::perms::owner_all) << folder;
}

TEST_F(FileTrashTest, OnlyAnAbsoluteDataHomeOrHomeGivesATrash)
{
    writeFile(m_root / "blocker", "");
    const std::string root = m_root.string();
    const std::string ownHome = home().string();
    const std::optional<std::string> unset;
    const struct {
        std::optional<std::string> home, dataHome;
        std::string trash; // empty: the item stays
    } cases[] = {
        { ownHome, "share", ownHome + "/.local/share/Trash" }, // a relative data home is ignored
        { unset, root + "/data", root + "/data/Trash" }, { ownHome, unset, ownHome + "/.local/share/Trash" },
        { unset, unset, "" }, { "home", unset, "" },
        { ownHome, root + "/blocker/share", "" }, // cannot be created below a file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.home.value_or("-") + " " + c.dataHome.value_or("-"));
        setEnv("HOME", c.home);
        setEnv("XDG_DATA_HOME", c.dataHome);
        writeFile(items() / "report.pdf", "pdf");

        const auto outcome = FileTrash().moveToTrash((items() / "report.pdf").string());

        EXPECT_EQ(outcome.moved, !c.trash.empty()) << outcome.reason.toStdString();
        EXPECT_EQ(readAll(c.trash.empty() ? items() / "report.pdf" : fs::path(c.trash) / "files/report.pdf"),
            "pdf");
        EXPECT_TRUE(fs::is_empty(cwd()));
        fs::remove_all(home() / ".local");
        fs::remove_all(m_root / "data");
    }
}

TEST_F(FileTrashTest, NothingSwappedInAfterTheChecksRedirectsTheMove)
{
    fs::create_directories(items() / "private");
    writeFile(items() / "private/secret.txt", "secret");
    fs::create_directories(m_root / "attacker/decoy");
    writeFile(m_root / "attacker/decoy/secret.txt", "decoy");
    fs::create_directory_symlink(items() / "private", m_root / "via-link");

    // A link in the path is not followed, even one that leads to the same item.
    const auto viaLink = FileTrash().moveToTrash((m_root / "via-link/secret.txt").string());
    EXPECT_TRUE(!viaLink.moved && !viaLink.reason.isEmpty());

    const FileTrash swapping([&] {
        fs::rename(dataHome() / "Trash", m_root / "checked-trash");
        fs::create_directory_symlink(m_root / "attacker", dataHome() / "Trash");
        fs::rename(items() / "private", m_root / "checked-parent");
        fs::create_directory_symlink(m_root / "attacker/decoy", items() / "private");
    });
    const auto outcome = swapping.moveToTrash((items() / "private/secret.txt").string());

    ASSERT_TRUE(outcome.moved) << outcome.reason.toStdString();
    EXPECT_EQ(readAll(m_root / "checked-trash/files/secret.txt"), "secret");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root / "attacker"), {}), 1);
}

// Another volume: a tmpfs open to everyone, as a shared USB disk is, in a private mount
// namespace (root only).
class VolumeTrashTest : public FileTrashTest {
protected:
    void SetUp() override
    {
        FileTrashTest::SetUp();
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "needs the right to mount in a private namespace";
        fs::create_directories(top());
        ASSERT_EQ(::mount("tallyfern-usb", top().c_str(), "tmpfs", 0, "mode=1777,size=4m"), 0);
    }
    void TearDown() override
    {
        ::umount2(top().c_str(), MNT_DETACH);
        FileTrashTest::TearDown();
    }
    fs::path top() const { return m_root / "usb"; }
};

TEST_F(VolumeTrashTest, OnlyRealPrivateFoldersOfTheUserAreEverUsed)
{
    enum class Put { Private, Open, Sticky, Bait, Foreign, File, Link };
    const std::string own = ".Trash-" + kUid;
    const std::string shared = ".Trash/" + kUid;
    const struct {
        const char* what;
        std::vector<std::pair<std::string, Put>> setup;
        std::string trash; // the folder the item goes to; empty: it stays
    } cases[] = {
        { "nothing there yet", {}, own },
        { "an administrator's .Trash", { { ".Trash", Put::Sticky } }, shared },
        { ".Trash without the sticky bit", { { ".Trash", Put::Open }, { shared, Put::Private } }, own },
        { ".Trash a link", { { ".Trash", Put::Link } }, own },
        { ".Trash/uid a link", { { ".Trash", Put::Sticky }, { shared, Put::Link } }, own },
        { ".Trash-uid a link", { { own, Put::Link } }, "" },
        { ".Trash-uid open to all", { { own, Put::Open } }, "" },
        { ".Trash-uid a file", { { own, Put::File } }, "" },
        { ".Trash-uid another user's", { { own, Put::Foreign } }, "" },
        { "files/ a link", { { own, Put::Private }, { own + "/files", Put::Link } }, "" },
    };
    std::vector<std::string> records;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const fs::path& entry : fs::directory_iterator(top()))
            fs::remove_all(entry);
        // Links lead to the bait: a folder that passes every check but being reached
        // through a link.
        std::vector<std::pair<std::string, Put>> steps { { "bait", Put::Bait }, { "private", Put::Private } };
        steps.insert(steps.end(), c.setup.begin(), c.setup.end());
        for (const auto& [name, put] : steps) {
            const fs::path at = top() / name;
            if (put == Put::Link)
                fs::create_directory_symlink(top() / "bait", at);
            else if (put == Put::File)
                writeFile(at, "");
            else
                fs::create_directory(at);
            const fs::perms modes[]
                = { fs::perms::owner_all, fs::perms::all, fs::perms::all | fs::perms::sticky_bit,
                      fs::perms::owner_all | fs::perms::sticky_bit, fs::perms::owner_all };
            if (put < Put::File)
                fs::permissions(at, modes[static_cast<int>(put)]);
            if (put == Put::Foreign) {
                ASSERT_EQ(::chown(at.c_str(), 4242, 4242), 0);
            }
        }
        writeFile(top() / "private/secret.txt", "secret");

        const auto outcome = FileTrash().moveToTrash((top() / "private/secret.txt").string());

        EXPECT_TRUE(fs::is_empty(top() / "bait"));
        if (c.trash.empty()) {
            EXPECT_TRUE(!outcome.moved && !outcome.reason.isEmpty());
            EXPECT_EQ(readAll(top() / "private/secret.txt"), "secret");
            continue;
        }
        ASSERT_TRUE(outcome.moved) << outcome.reason.toStdString();
        EXPECT_EQ(readAll(top() / c.trash / "files/secret.txt"), "secret");
        for (const char* inner : { "", "files", "info" })
            EXPECT_EQ(fs::status(top() / c.trash / inner).permissions(), fs::perms::owner_all);
        records.push_back(readAll(top() / c.trash / "info/secret.txt.trashinfo"));
    }
    // Relative to the volume's top folder.
    EXPECT_EQ(recordedPaths(records), std::vector<std::string>(records.size(), "private/secret.txt"));
}

} // namespace
