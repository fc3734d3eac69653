// SPDX-License-Identifier: MIT
// The built executable, run as users run it: `--scan` without the window system, and a
// clear failure when the application module is missing or broken.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace {

// The build puts the executable and the module at its top, the tests one folder below.
QString builtExecutable()
{
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return QString::fromStdString((self.parent_path().parent_path() / "tallyfern").string());
}

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
    Outcome outcome;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app = builtExecutable();
        ASSERT_TRUE(QFile::exists(m_app)) << "build the tallyfern target first: " << m_app.toStdString();
        ASSERT_TRUE(m_dir.isValid());
    }

    // A copy of the executable alone in a folder of its own, without the module.
    QString lonelyCopy()
    {
        const QString copy = m_dir.filePath(QStringLiteral("bin/tallyfern"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
        if (!QFile::exists(copy))
            QFile::copy(m_app, copy);
        return copy;
    }

    QString m_app;
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Launcher, ScanModeNeedsNoWindowSystemLibrary)
{
    // The dynamic loader lists what the executable needs instead of running it.
    QProcessEnvironment trace = QProcessEnvironment::systemEnvironment();
    trace.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
    const Outcome needed = run(m_app, { QStringLiteral("--scan"), m_dir.path() }, trace);
    ASSERT_EQ(needed.exitCode, 0);
    EXPECT_TRUE(needed.out.contains("libQt6Core")) << needed.out.toStdString();
    for (const char* library : { "libQt6Gui", "libQt6Widgets", "libQt6DBus", "libQt6Svg", "libGL", "libxcb" })
        EXPECT_FALSE(needed.out.contains(library)) << library;

    // A lone copy still scans: the module is not needed for it.
    const Outcome scanned = run(lonelyCopy(), { QStringLiteral("--scan"), m_dir.path() });
    ASSERT_EQ(scanned.exitCode, 0);
    EXPECT_TRUE(scanned.out.startsWith("files=1 dirs=2 unreadable=0 ")) << scanned.out.toStdString();
    EXPECT_TRUE(scanned.err.isEmpty()) << scanned.err.toStdString();
}

TEST_F(Launcher, MissingOrBrokenModuleFailsWithOneLine)
{
    const QString copy = lonelyCopy();
    // Every argument form that is not exactly `--scan PATH` wants the window.
    for (const QStringList& arguments : { QStringList {}, QStringList { QStringLiteral("--scan") },
             QStringList { QStringLiteral("--scan"), m_dir.path(), m_dir.path() } }) {
        const Outcome missing = run(copy, arguments);
        EXPECT_EQ(missing.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(missing.out.isEmpty());
        EXPECT_TRUE(missing.err.startsWith("tallyfern: cannot start the window: "))
            << missing.err.toStdString();
        EXPECT_TRUE(missing.err.contains(m_dir.filePath(QStringLiteral("bin/tallyfern-gui.so")).toUtf8()));
        EXPECT_EQ(missing.err.count('\n'), 1);
        EXPECT_TRUE(missing.err.endsWith('\n'));
    }

    // Something that is not a loadable library where the module belongs.
    QFile broken(m_dir.filePath(QStringLiteral("bin/tallyfern-gui.so")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a library\n");
    broken.close();
    const Outcome bad = run(copy, {});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.startsWith("tallyfern: cannot start the window: ")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("tallyfern-gui.so"));
    EXPECT_EQ(bad.err.count('\n'), 1);
}
