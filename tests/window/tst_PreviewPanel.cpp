// SPDX-License-Identifier: MIT
#include "window/PreviewPanel.h"

#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

class TestPreviewPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void eachKindOfItemGetsItsPage();
    void imagesShrinkToFitAndNeverGrow();
    void keysGoToTheSourceExceptSpaceAndEscape();
    void followsItsSourceAndForgetsItWhenItIsGone();
    void severalItemsArePaged();

private:
    PreviewItem item(const std::string& name, bool directory = false) const
    {
        return { m_root + "/" + name, QString::fromStdString(name), directory, QStringLiteral("1 KB"),
            QStringLiteral("Some Kind"), directory ? QStringLiteral("12 files") : QString() };
    }
    void show(std::vector<PreviewItem> items)
    {
        m_items = std::move(items);
        m_panel->setSource(
            &m_owner, [this] { return m_items; },
            [this](QKeyEvent* event) {
                m_keys << event->key();
                return true;
            });
        m_panel->reloadData();
    }
    QToolButton* button(const QString& toolTip) const
    {
        for (QToolButton* b : m_panel->findChildren<QToolButton*>())
            if (b->toolTip() == toolTip)
                return b;
        return nullptr;
    }

    QTemporaryDir m_temp;
    std::string m_root;
    PreviewPanel* m_panel = nullptr;
    QObject m_owner;
    std::vector<PreviewItem> m_items;
    QList<int> m_keys;
};

void TestPreviewPanel::initTestCase()
{
    QVERIFY(m_temp.isValid());
    m_root = m_temp.path().toStdString();
    QImage wide(800, 400, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QVERIFY(wide.save(QString::fromStdString(m_root + "/wide.png")));
    QImage small(40, 20, QImage::Format_RGB32);
    small.fill(Qt::red);
    QVERIFY(small.save(QString::fromStdString(m_root + "/small.png")));
    {
        std::ofstream text(m_root + "/notes.txt");
        for (int i = 0; i < 5000; ++i)
            text << "line " << i << " of a long text file\n"; // about 150 KB
    }
    std::ofstream(m_root + "/caf\xe9.txt") << "not UTF-8 in the name\n"; // Latin-1 name
    {
        std::ofstream binary(m_root + "/blob.bin", std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            binary.put(static_cast<char>((i * 7919) & 0xff));
    }
    fs::create_directories(m_root + "/folder/inner");

    m_panel = new PreviewPanel;
}

void TestPreviewPanel::cleanupTestCase()
{
    delete m_panel;
    std::error_code ec;
    fs::remove_all(m_root, ec); // Qt cannot remove the Latin-1 name
}

void TestPreviewPanel::init()
{
    m_keys.clear();
    m_panel->hide();
}

void TestPreviewPanel::eachKindOfItemGetsItsPage()
{
    show({ item("wide.png"), item("notes.txt"), item("caf\xe9.txt"), item("blob.bin"), item("folder", true),
        item("vanished.txt") });
    QCOMPARE(m_panel->itemCount(), 6);

    QCOMPARE(m_panel->page(), PreviewPanel::Page::Image);

    m_panel->showItem(1);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Text);
    QVERIFY(m_panel->shownText().startsWith(QStringLiteral("line 0 of a long text file\nline 1 ")));
    QVERIFY(m_panel->shownText().size() <= PreviewPanel::kTextPreviewBytes);
    QVERIFY(!m_panel->shownText().contains(QStringLiteral("line 4999 ")));

    m_panel->showItem(2);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Text);
    QCOMPARE(m_panel->shownText(), QStringLiteral("not UTF-8 in the name\n"));

    m_panel->showItem(3);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Other);
    QVERIFY(m_panel->shownText().contains(QStringLiteral("blob.bin")));
    QVERIFY(m_panel->shownText().contains(QStringLiteral("1 KB")));
    QVERIFY(m_panel->shownText().contains(QStringLiteral("Some Kind")));

    m_panel->showItem(4);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Folder);
    QVERIFY(m_panel->shownText().contains(QStringLiteral("12 files")));

    m_panel->showItem(5); // gone from disk since the scan: still described
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Other);
    QVERIFY(m_panel->shownText().contains(QStringLiteral("vanished.txt")));

    // A pipe is described, never read: what waits in it stays for its reader.
    const std::string pipe = m_root + "/pipe.txt";
    QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
    const int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "queued\n", 7), ssize_t(7));
    show({ item("pipe.txt") });
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Other);
    char left[16] = {};
    const ssize_t got = ::read(fd, left, sizeof left);
    ::close(fd);
    QCOMPARE(QByteArray(left, int(std::max<ssize_t>(got, 0))), QByteArray("queued\n"));

    show({});
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Empty);
    QCOMPARE(m_panel->currentIndex(), -1);
}

void TestPreviewPanel::imagesShrinkToFitAndNeverGrow()
{
    show({ item("wide.png"), item("small.png") });
    m_panel->resize(500, 500);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    const QSize fitted = m_panel->shownImageSize();
    QVERIFY(fitted.width() <= 500 && fitted.width() >= 400);
    QCOMPARE(fitted.width(), fitted.height() * 2); // aspect kept

    m_panel->resize(1000, 800); // room for the whole image: shown at its own size
    QTRY_COMPARE(m_panel->shownImageSize(), QSize(800, 400));

    m_panel->showItem(1);
    QCOMPARE(m_panel->shownImageSize(), QSize(40, 20));
}

void TestPreviewPanel::keysGoToTheSourceExceptSpaceAndEscape()
{
    show({ item("notes.txt") });
    m_panel->toggle();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    QTest::keyClick(m_panel, Qt::Key_Down);
    QTest::keyClick(m_panel, Qt::Key_Up);
    QCOMPARE(m_keys, (QList<int> { Qt::Key_Down, Qt::Key_Up }));
    QVERIFY(m_panel->isVisible());

    QTest::keyClick(m_panel, Qt::Key_Space);
    QVERIFY(!m_panel->isVisible());
    m_panel->toggle();
    QVERIFY(m_panel->isVisible());
    QTest::keyClick(m_panel, Qt::Key_Escape);
    QVERIFY(!m_panel->isVisible());
    QCOMPARE(m_keys.size(), 2);
}

void TestPreviewPanel::followsItsSourceAndForgetsItWhenItIsGone()
{
    show({ item("notes.txt") });
    m_items = { item("blob.bin"), item("wide.png") }; // the selection changed
    m_panel->reloadData();
    QCOMPARE(m_panel->itemCount(), 2);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Other);

    QObject stranger;
    m_panel->clearSource(&stranger); // not its source: nothing changes
    QCOMPARE(m_panel->source(), &m_owner);

    int asked = 0;
    {
        QObject shortLived;
        m_panel->setSource(&shortLived,
            [&] {
                ++asked;
                return std::vector<PreviewItem> { item("notes.txt") };
            },
            {});
        m_panel->reloadData();
        QCOMPARE(asked, 1);
    }
    m_panel->reloadData(); // its source is gone: its callbacks must not run
    QCOMPARE(asked, 1);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Empty);
    QCOMPARE(m_panel->source(), nullptr);
}

void TestPreviewPanel::severalItemsArePaged()
{
    show({ item("wide.png"), item("notes.txt"), item("folder", true) });
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    QToolButton* previous = button(QStringLiteral("Previous Item"));
    QToolButton* next = button(QStringLiteral("Next Item"));
    QVERIFY(previous && next);
    QVERIFY(!previous->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(m_panel->currentIndex(), 1);
    QCOMPARE(m_panel->page(), PreviewPanel::Page::Text);
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(m_panel->currentIndex(), 2);
    QVERIFY(!next->isEnabled());
    QTest::mouseClick(previous, Qt::LeftButton);
    QCOMPARE(m_panel->currentIndex(), 1);

    show({ item("notes.txt") }); // one item: no pager
    QVERIFY(!next->isVisible());
}

QTEST_MAIN(TestPreviewPanel)
#include "tst_PreviewPanel.moc"
