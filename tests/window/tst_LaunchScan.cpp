// SPDX-License-Identifier: MIT
// A window opened from the command line with exclude patterns: they hold, on top of the
// kept preferences, for its scan and its rescans, and are shown but never saved.
#include "model/ScanPreferences.h"
#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "window/support/WindowFixture.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class LaunchScanTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { DocumentFixture::isolateHome(); }

    void commandLineExcludesHoldForScanAndRescansAndAreNotSaved()
    {
        FolderFixture folder;
        for (const char* file : { "data.bin", "sub/keep.bin", "sub/skip/big.bin" })
            folder.write(file, 64'000);
        ScanPreferences { { "data.bin" }, false }.save();
        std::unique_ptr<DocumentWindowController> window
            = shownWithTree(std::make_unique<DocumentWindowController>(folder.root(), noVolume(),
                DirectoryReader::system(), LaunchScanOptions { { "sub/skip/" }, false }));
        QVERIFY(window);
        const auto node = [&](const char* relative) { return nodeAt(window->disk().root(), relative); };
        // Only sub/keep.bin counts: the kept list leaves out data.bin, the command line sub/skip.
        const auto onlyKeepCounts = [&] {
            const FileNode* root = node("");
            return root->fileCount == 1 && root->size == node("sub/keep.bin")->size && root->size > 0
                && node("data.bin")->flags.contains(NodeFlags::Excluded)
                && node("sub/skip")->flags.contains(NodeFlags::Excluded);
        };
        QVERIFY(onlyKeepCounts());

        auto* button = window->findChild<QToolButton*>(QStringLiteral("launchScan"));
        QVERIFY(button && button->isVisible() && button->text().contains("from the command line"));
        QTest::mouseClick(button, Qt::LeftButton);
        auto* dialog = window->findChild<QDialog*>(QStringLiteral("preferences"));
        QCOMPARE(
            dialog->findChild<QPlainTextEdit*>(QStringLiteral("launchExcludes"))->toPlainText(), "sub/skip/");
        QTest::mouseClick(
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(ScanPreferences::load().excludes, QStringList { "data.bin" });

        // New bytes below the excluded folder stay out of a rescan of the folder above it,
        // where the pattern's path starts above the rescanned root.
        folder.write("sub/skip/more.bin", 64'000);
        window->selectNodes({ node("sub") });
        window->perform(Command::Rescan);
        QTRY_VERIFY(window->canPerform(Command::Rescan));
        QVERIFY(onlyKeepCounts());
    }
};

QTEST_MAIN(LaunchScanTest)
#include "tst_LaunchScan.moc"
