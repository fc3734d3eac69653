// SPDX-License-Identifier: MIT
// The document window as a Linux desktop expects it: paths that cannot be scanned said
// so, windows that fit their screen, the keyboard, screen readers and the clipboard.
#include "window/DocumentWindowController.h"
#include "window/support/WindowFixture.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class DesktopConventionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }

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
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("0123456789") == 10);
        file.close();
        const QString path = folder.filePath(relative);
        DocumentWindowController window(path.toStdString());
        window.show();
        QWidget* view = window.centralWidget();
        QCOMPARE(view->objectName(), QStringLiteral("unavailable"));
        QStringList texts;
        for (const QLabel* label : view->findChildren<QLabel*>())
            texts << label->text();
        QCOMPARE(texts, QStringList({ reason, path }));
        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("progressCount")));
        QVERIFY(!window.canPerform(std::nullopt));
    }
};

QTEST_MAIN(DesktopConventionsTest)
#include "tst_DesktopConventions.moc"
