// SPDX-License-Identifier: MIT
// The preview panel over real files: the page each kind of item gets, hostile ones
// included (a pipe, a name that is not UTF-8, a vanished file), keys, and a source that
// goes away.
#include "window/PreviewPanel.h"

#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class PreviewPanelTest : public QObject {
    Q_OBJECT

    PreviewItem item(const std::string& name, bool directory = false) const
    {
        return { m_root + "/" + name, QString::fromStdString(name), directory, QStringLiteral("1 KB"),
            QStringLiteral("Some Kind"), directory ? QStringLiteral("12 files") : QString() };
    }
    void show(std::vector<PreviewItem> items)
    {
        m_items = std::move(items);
        m_panel.setSource(
            &m_owner, [this] { return m_items; },
            [this](QKeyEvent* event) {
                m_keys << event->key();
                return true;
            });
        m_panel.reloadData();
    }

    QTemporaryDir m_temp;
    std::string m_root = m_temp.path().toStdString();
    PreviewPanel m_panel;
    QObject m_owner;
    std::vector<PreviewItem> m_items;
    QList<int> m_keys;

private slots:
    void cleanupTestCase() { std::filesystem::remove_all(m_root); } // Qt cannot remove the Latin-1 name

    void eachKindOfItemGetsItsPage()
    {
        QImage(800, 400, QImage::Format_RGB32).save(QString::fromStdString(m_root + "/wide.png"));
        {
            std::ofstream text(m_root + "/notes.txt");
            for (int i = 0; i < 5000; ++i)
                text << "line " << i << " of a long text file\n"; // about 150 KB
        }
        std::ofstream(m_root + "/caf\xe9.txt") << "not UTF-8 in the name\n";
        std::ofstream(m_root + "/blob.bin", std::ios::binary) << std::string("\x00\x01\xfe\xff", 4) << "x";
        QVERIFY(QDir().mkpath(QString::fromStdString(m_root + "/folder")));
        // A pipe is described, never read: what waits in it stays for its reader.
        QCOMPARE(::mkfifo((m_root + "/pipe.txt").c_str(), 0600), 0);
        const int fd = ::open((m_root + "/pipe.txt").c_str(), O_RDWR | O_NONBLOCK);
        QCOMPARE(::write(fd, "queued\n", 7), ssize_t(7));

        using Page = PreviewPanel::Page;
        const std::pair<PreviewItem, Page> cases[] = { { item("wide.png"), Page::Image },
            { item("notes.txt"), Page::Text }, { item("caf\xe9.txt"), Page::Text },
            { item("blob.bin"), Page::Other }, { item("folder", true), Page::Folder },
            { item("vanished.txt"), Page::Other }, { item("pipe.txt"), Page::Other } };
        for (const auto& [shown, page] : cases) {
            show({ shown });
            QCOMPARE(m_panel.page(), page);
            if (page == Page::Other) // still described, by what the scan knew
                QVERIFY(
                    m_panel.shownText().contains(shown.name) && m_panel.shownText().contains("Some Kind"));
        }
        char left[16] = {};
        QCOMPARE(::read(fd, left, sizeof left), ssize_t(7));
        ::close(fd);
        show({ item("caf\xe9.txt") });
        QCOMPARE(m_panel.shownText(), QStringLiteral("not UTF-8 in the name\n"));
        show({ item("notes.txt") }); // only the start of a long text
        QVERIFY(m_panel.shownText().startsWith(QStringLiteral("line 0 of a long text file\nline 1 ")));
        QVERIFY(!m_panel.shownText().contains(QStringLiteral("line 4999 ")));
        show({});
        QCOMPARE(m_panel.page(), Page::Empty);

        // Images shrink to fit, aspect kept.
        show({ item("wide.png") });
        m_panel.resize(500, 500);
        m_panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_panel));
        const QSize fitted = m_panel.shownImageSize();
        QVERIFY(fitted.width() <= 500 && fitted.width() == fitted.height() * 2);
    }

    void keysAndASourceThatGoesAway()
    {
        show({ item("notes.txt") });
        m_panel.hide();
        m_panel.toggle();
        QVERIFY(QTest::qWaitForWindowExposed(&m_panel));
        // Keys go to the source, except Space and Escape, which close the panel.
        QTest::keyClick(&m_panel, Qt::Key_Down);
        QTest::keyClick(&m_panel, Qt::Key_Up);
        QCOMPARE(m_keys, (QList<int> { Qt::Key_Down, Qt::Key_Up }));
        for (const Qt::Key key : { Qt::Key_Space, Qt::Key_Escape }) {
            QVERIFY(m_panel.isVisible());
            QTest::keyClick(&m_panel, key);
            QVERIFY(!m_panel.isVisible());
            m_panel.toggle();
        }
        QCOMPARE(m_keys.size(), 2);

        QObject stranger;
        m_panel.clearSource(&stranger); // not its source: nothing changes
        QCOMPARE(m_panel.source(), &m_owner);
        int asked = 0;
        {
            QObject shortLived;
            m_panel.setSource(&shortLived,
                [&] {
                    ++asked;
                    return std::vector<PreviewItem> { item("notes.txt") };
                },
                {});
            m_panel.reloadData();
        }
        m_panel.reloadData(); // its source is gone: its callbacks must not run
        QCOMPARE(asked, 1);
        QCOMPARE(m_panel.page(), PreviewPanel::Page::Empty);
        QCOMPARE(m_panel.source(), nullptr);
    }
};

QTEST_MAIN(PreviewPanelTest)
#include "tst_PreviewPanel.moc"
