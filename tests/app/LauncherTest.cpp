// SPDX-License-Identifier: MIT
// The command line as the program reads it, and the built executable run as users run
// it: `--scan` without the window system, a clear failure when the module is missing.
#include "app/LaunchArguments.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {})
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}

TEST(Launcher, ScanModeNeedsNoWindowSystemAndTheWindowNeedsItsModule)
{
    // The build puts the executable and the module at its top, the tests one folder below.
    const QString app = QString::fromStdString(
        (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "tallyfern").string());
    ASSERT_TRUE(QFile::exists(app)) << "build the tallyfern target first";
    QTemporaryDir dir;
    // The dynamic loader lists what the executable needs instead of running it.
    QProcessEnvironment trace = QProcessEnvironment::systemEnvironment();
    trace.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
    const Outcome needed = run(app, { QStringLiteral("--scan"), dir.path() }, trace);
    ASSERT_EQ(needed.exitCode, 0);
    EXPECT_TRUE(needed.out.contains("libQt6Core")) << needed.out.toStdString();
    for (const char* library : { "libQt6Gui", "libQt6Widgets", "libQt6DBus", "libQt6Svg", "libGL", "libxcb" })
        EXPECT_FALSE(needed.out.contains(library)) << library;

    // A copy alone in a folder of its own, without the module, still scans.
    const QString copy = dir.filePath(QStringLiteral("bin/tallyfern"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))) && QFile::copy(app, copy));
    const Outcome scanned = run(copy, { QStringLiteral("--scan"), dir.path() });
    EXPECT_TRUE(scanned.exitCode == 0 && scanned.err.isEmpty()) << scanned.err.toStdString();
    EXPECT_TRUE(scanned.out.startsWith("files=1 dirs=2 unreadable=0 ")) << scanned.out.toStdString();

    // Every other argument form wants the window: without its module, or with something
    // that is not a library in its place, one line says why.
    const QString module = dir.filePath(QStringLiteral("bin/tallyfern-gui.so"));
    for (const QStringList& arguments : { QStringList {}, QStringList { QStringLiteral("--scan") },
             QStringList { QStringLiteral("--scan"), dir.path(), dir.path() } }) {
        for (const bool broken : { false, true }) {
            QFile::remove(module);
            QFile file(module);
            if (broken) {
                ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a library\n") > 0);
            }
            file.close();
            const Outcome failed = run(copy, arguments);
            SCOPED_TRACE(arguments.join(' ').toStdString());
            EXPECT_TRUE(failed.exitCode == 1 && failed.out.isEmpty()) << failed.exitCode;
            EXPECT_TRUE(failed.err.startsWith("tallyfern: cannot start the window: "))
                << failed.err.toStdString();
            EXPECT_TRUE(failed.err.contains(module.toUtf8()));
            EXPECT_EQ(failed.err.count('\n'), 1);
        }
    }

    // Without a display, the conventions still answer: each with its status, help and
    // version on standard output, failures in one line on standard error.
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        bare.remove(QString::fromLatin1(name));
    QProcessEnvironment dead = bare;
    dead.insert(QStringLiteral("DISPLAY"), QStringLiteral(":93")); // nothing listens there
    // Scan options that cannot apply are refused before the display is even looked for:
    // a malformed pattern, no folder to scan, a saved scan (read, not scanned).
    const QString saved = dir.filePath(QStringLiteral("saved.json"));
    QFile(saved).open(QIODevice::WriteOnly);
    const std::tuple<QStringList, QProcessEnvironment, int> cases[]
        = { { { "--help" }, bare, 0 }, { { "--bogus" }, bare, 2 }, { { "/tmp" }, bare, 1 },
              { { "/tmp" }, dead, 1 }, { { "/tmp", "--exclude", "a[b" }, bare, 2 },
              { { "--exclude", "x" }, bare, 2 }, { { saved, "--cross-file-systems" }, bare, 2 } };
    for (const auto& [arguments, env, status] : cases) {
        const Outcome o = run(app, arguments, env);
        EXPECT_EQ(o.exitCode, status) << arguments.join(' ').toStdString() << o.err.toStdString();
        if (status == 0)
            EXPECT_TRUE(!o.out.isEmpty() && o.err.isEmpty()) << arguments.join(' ').toStdString();
        else
            EXPECT_TRUE(o.out.isEmpty() && o.err.startsWith("tallyfern: ") && o.err.count('\n') == 1)
                << o.err.toStdString();
    }
}

} // namespace

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
        if (c.action == Action::Refuse) {
            EXPECT_EQ(verdict.text.find('\n'), std::string::npos) << verdict.text;
        }
    }
}

TEST(LaunchArguments, FileUrlsDecodeToBytesAndOnlyLocalOnesCount)
{
    const std::pair<const char*, const char*> cases[] = {
        { "file:///home/ann/My%20Files", "/home/ann/My Files" },
        { "file:///tmp/caf%E9", "/tmp/caf\xe9" }, // not UTF-8: byte for byte
        { "file:///tmp/100%", "/tmp/100%" }, // stray percent kept
        { "file:///tmp/a%zz", "/tmp/a%zz" }, // not an escape: kept
        { "file:///tmp/a%0Ab", "/tmp/a\nb" }, // newline in a name
        { "file:///tmp/q?x=1#f", "/tmp/q" },
        { "file://server/share", "" }, // not local
        { "file:///tmp/a%00b", "" }, // NUL cannot be in a name
        { "https://example.org/x", "" },
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

// Scan options beside folder arguments, read in order in every form the parser accepts.
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
