// SPDX-License-Identifier: MIT
// The command-line conventions of the graphical start: help, version, refused options
// and URLs, and a missing display, each answered in its own way with its own status.
#include "app/LaunchArguments.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>

using Action = LaunchArguments::Verdict::Action;

TEST(LaunchConventions, OptionsAreJudgedBeforeAnyWindow)
{
    const struct {
        std::vector<std::string> arguments;
        Action action;
        const char* mentions; // in the text
    } cases[] = {
        { { "--help" }, Action::Help, "tallyfern --scan PATH" },
        { { "-h", "/tmp" }, Action::Help, "--exclude <PATTERN>" },
        { { "--version" }, Action::Version, "tallyfern " TALLYFERN_VERSION },
        { { "--bogus", "/tmp" }, Action::Refuse, "bogus" },
        { { "--SCAN", "/tmp" }, Action::Refuse, "SCAN" },
        { { "/tmp", "--exclude" }, Action::Refuse, "exclude" },
        { { "--cross-file-systems=yes" }, Action::Refuse, "cross-file-systems" },
        // The toolkit's own options, the windowless modes' names in other forms, scan
        // options with their values and anything after "--" start the application.
        { { "-style", "fusion", "-platform=offscreen", "--reverse", "/tmp" }, Action::Open, "" },
        { { "--scan", "/tmp", "/usr" }, Action::Open, "" },
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

TEST(LaunchConventions, UrlsOtherThanLocalFilesAreRefusedNotTakenAsPaths)
{
    const std::string here = std::filesystem::temp_directory_path().string();
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        { "FILE:///tmp", { "/tmp" } }, { "File://LOCALHOST/tmp", { "/tmp" } }, { "file:/tmp", { "/tmp" } },
        { "sftp://host/dir", {} }, { "smb://server/share", {} }, { "trash:///", {} },
        { "dir:name", { here + "/dir:name" } }, // no "//": a relative name
    };
    for (const auto& [argument, expected] : cases)
        EXPECT_EQ(LaunchArguments::folders({ argument }, here), expected) << argument;
}

TEST(LaunchConventions, TheProgramAnswersWithItsStatusAndAtMostOneLine)
{
    const QString program = QString::fromStdString(
        (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "tallyfern").string());
    const struct {
        QStringList arguments;
        const char* display; // null: no display variable at all
        int status;
        bool onStdout; // else one line on standard error
    } cases[] = {
        { { QStringLiteral("--help") }, nullptr, 0, true },
        { { QStringLiteral("--version") }, nullptr, 0, true },
        { { QStringLiteral("--bogus") }, nullptr, 2, false },
        { { QStringLiteral("/tmp") }, nullptr, 1, false },
        { { QStringLiteral("/tmp") }, ":93", 1, false }, // nothing listens there
    };
    for (const auto& c : cases) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        if (c.display)
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, c.arguments);
        ASSERT_TRUE(process.waitForFinished(60000)) << program.toStdString();
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(process.exitCode(), c.status) << what << err.toStdString();
        EXPECT_EQ(c.onStdout ? err.size() : out.size(), 0) << what;
        if (!c.onStdout)
            EXPECT_TRUE(err.startsWith("tallyfern: ") && err.count('\n') == 1) << err.toStdString();
    }
}
