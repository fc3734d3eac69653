// SPDX-License-Identifier: MIT
// Reveal and open through a private D-Bus session bus with a stand-in file manager.
#include "platform/DefaultApplication.h"
#include "platform/gui/SystemWorkspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Decodes a file URL's path back to bytes.
std::string pathBytes(const QUrl& url)
{
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

} // namespace

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> calls;
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        Q_UNUSED(startupId);
        calls << uris;
    }
};

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl& url) { urls << url; }
};

class TestWorkspace : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        if (!m_bus.waitForStarted(5000))
            QSKIP("dbus-daemon is not installed");
        QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
        m_address = QString::fromLatin1(m_bus.readLine()).trimmed();
        // The workspace uses the session bus, which connects on first use.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLatin1());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opened, "openUrl");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void init() { m_opened.urls.clear(); }

    void revealSendsEveryItemInOneCall()
    {
        QDBusConnection service = QDBusConnection::connectToBus(m_address, QStringLiteral("filemanager"));
        FakeFileManager manager;
        QVERIFY(service.registerObject(
            QStringLiteral("/org/freedesktop/FileManager1"), &manager, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        // File URLs name the real bytes: not UTF-8, characters URLs reserve, a newline.
        const std::vector<std::string> paths = { "/home/u/caf\xe9 \xff.txt", "/home/u/50% #1?.txt",
            "/home/u/line\nbreak", "/home/u/\xc3\xa9t\xc3\xa9" };
        SystemWorkspace workspace;
        workspace.reveal(paths);

        QTRY_COMPARE(manager.calls.size(), 1);
        const QStringList uris = manager.calls.front();
        QCOMPARE(uris.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(pathBytes(QUrl(uris[i], QUrl::StrictMode)), paths[static_cast<std::size_t>(i)]);
        QVERIFY(m_opened.urls.isEmpty());
        // Where Qt can represent the name, the URL is the one it would build itself.
        const QString utf8 = QString::fromUtf8("/home/u/Fotos/\xc3\xa9t\xc3\xa9 1.png");
        QCOMPARE(Workspace::fileUrl(utf8.toStdString()), QUrl::fromLocalFile(utf8));

        service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("filemanager"));

        workspace.open("/data/r\xe9sum\xe9.pdf");
        workspace.reveal({}); // nothing to show: no request at all
        QCOMPARE(m_opened.urls.size(), 1);
        QCOMPARE(pathBytes(m_opened.urls.front()), std::string("/data/r\xe9sum\xe9.pdf"));
    }

    void revealWithoutAFileManagerOpensEachFolderOnceUnlessFoldersOpenWithUs_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("opens");
        const QString general = QStringLiteral("config/mimeapps.list");
        const auto row = [](const char* name, const QString& list, const char* text, bool opens) {
            QTest::newRow(name) << list << QByteArray(text) << opens;
        };
        const char* us = "[Default Applications]\ninode/directory=org.tallyfern.Tallyfern.desktop\n";
        row("no choice", general, "", true);
        row("a file manager first", general,
            "[Default Applications]\ninode/directory=files.desktop;org.tallyfern.Tallyfern.desktop\n", true);
        row("only associated", general,
            "[Added Associations]\ninode/directory=org.tallyfern.Tallyfern.desktop\n", true);
        row("us", general, us, false);
        row("us, for this desktop", QStringLiteral("config/test-mimeapps.list"), us, false);
        row("us, system-wide", QStringLiteral("share/applications/mimeapps.list"), us, false);
        row("an entry made for us, after one not installed", general,
            "[Default Applications]\ninode/directory=gone.desktop;userapp-tallyfern-QX81.desktop\n", false);
    }

    void revealWithoutAFileManagerOpensEachFolderOnceUnlessFoldersOpenWithUs()
    {
        QFETCH(QString, list);
        QFETCH(QByteArray, text);
        QFETCH(bool, opens);
        QTemporaryDir root;
        const auto put = [&](const QString& relative, const QByteArray& contents) {
            const QString path = root.filePath(relative);
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        };
        for (const char* entry : { "files", "org.tallyfern.Tallyfern", "userapp-tallyfern-QX81" })
            put(QStringLiteral("data/applications/%1.desktop").arg(QLatin1String(entry)),
                "[Desktop Entry]\n");
        put(list, text);
        for (const auto& [variable, folder] : { std::pair { "XDG_CONFIG_HOME", "config" },
                 { "XDG_CONFIG_DIRS", "etc" }, { "XDG_DATA_HOME", "data" }, { "XDG_DATA_DIRS", "share" } })
            qputenv(variable, root.filePath(QLatin1String(folder)).toLocal8Bit());
        qputenv("XDG_CURRENT_DESKTOP", "Test");

        int asked = 0;
        SystemWorkspace workspace(FileTrash(), [&] {
            ++asked;
            return DefaultApplication::forType(QStringLiteral("inode/directory"));
        });
        if (!opens)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("nothing revealed")));
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.FileManager1")));
        workspace.reveal({ "/data/x/a.txt", "/data/y/b.txt", "/data/x/c.txt", "/top" });
        QTRY_COMPARE(asked, 1);
        std::vector<std::string> opened;
        for (const QUrl& url : m_opened.urls)
            opened.push_back(pathBytes(url));
        const std::vector<std::string> parents = { "/data/x", "/data/y", "/" };
        QCOMPARE(opened, opens ? parents : std::vector<std::string>());
    }

private:
    QProcess m_bus;
    QString m_address;
    UrlRecorder m_opened;
};

QTEST_MAIN(TestWorkspace)
#include "tst_workspace.moc"
