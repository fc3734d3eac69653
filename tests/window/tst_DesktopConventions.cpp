// SPDX-License-Identifier: MIT
// The document window as a Linux desktop expects it: paths that cannot be scanned said
// so, windows that fit their screen, the keyboard, screen readers and the clipboard.
#include "window/DocumentWindowController.h"
#include "window/support/CommandFixture.h"
#include "window/support/WindowFixture.h"

#include <QLabel>
#include <QTest>

#include <memory>

class DesktopConventionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CommandFixture::isolateHome(); }

    void pathsThatCannotBeScannedSaySo_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "gone"
                                 << "No such folder";
        QTest::newRow("file") << "file"
                              << "Not a folder";
        QTest::newRow("below a file") << "file/x"
                                      << "Not a folder";
    }
    void pathsThatCannotBeScannedSaySo()
    {
        QFETCH(QString, relative);
        QFETCH(QString, reason);
        FolderFixture folder;
        folder.write("file", 10);
        DocumentWindowController window(folder.path(relative.toStdString()));
        window.show();
        QWidget* view = window.centralWidget();
        QCOMPARE(view->objectName(), QStringLiteral("unavailable"));
        QStringList texts;
        for (const QLabel* label : view->findChildren<QLabel*>())
            texts << label->text();
        QCOMPARE(texts, QStringList({ reason, QString::fromStdString(folder.path(relative.toStdString())) }));
        QVERIFY(!window.progressView());
        QVERIFY(!window.canPerform(std::nullopt));
    }
};

QTEST_MAIN(DesktopConventionsTest)
#include "tst_DesktopConventions.moc"
