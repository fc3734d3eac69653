// SPDX-License-Identifier: MIT
// View > Show Apparent Sizes pressed in a real window, and pressed again.
#include "model/TallyfernDocument.h"
#include "widgets/Fmt.h"
#include "window/CommandActions.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/support/WindowFixture.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QtTest>

#include <filesystem>

#include <sys/stat.h>

class ApparentSizesTest : public QObject {
    Q_OBJECT
private slots:
    void keySwitchesEverySizeAndBack()
    {
        DocumentFixture::isolateHome();
        DocumentFixture fixture;
        fixture.write("sparse.img", 1);
        std::filesystem::resize_file(fixture.path("sparse.img"), 50'000'000); // the rest a hole
        std::int64_t logical = 0; // what the files hold, by an independent walk
        for (const auto& entry : std::filesystem::recursive_directory_iterator(fixture.root()))
            logical += entry.is_regular_file() ? std::int64_t(entry.file_size()) : 0;
        QVERIFY(fixture.open()); // a 100 MB volume, 40 MB of it free
        CommandActions actions; // the menu bar's, which answer the keys
        DocumentWindowController& window = *fixture;
        actions.setActiveDocumentLookup([document = QPointer(&window)] { return document.data(); });
        actions.watch(&window);
        window.setCommandActions(&actions);
        window.addAction(actions.action(Command::ShowApparentSizes));
        window.activateWindow();
        fixture.selectRows({ fixture.node("sparse.img") });

        QAbstractItemModel* outline = window.outlineView()->model();
        const auto* summary = window.findChild<QLabel*>(QStringLiteral("summary"));
        const auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
        for (const bool apparent : { true, false }) {
            QTest::keyClick(window.outlineView(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(actions.action(Command::ShowApparentSizes)->isChecked(), apparent);
            QCOMPARE(summary->text().contains(QStringLiteral("apparent sizes")), apparent);
            QCOMPARE(window.canPerform(Command::ToggleFreeSpace), !apparent); // free space is allocated
            QCOMPARE(status->text().contains(QStringLiteral("allocated)")), apparent);
            const QModelIndex top = outline->index(0, FileOutlineModel::Size);
            QCOMPARE(top.data().toString(), Fmt::bytes(apparent ? logical : 100'000'000));
            // The pseudo items leave with allocated sizes; the sparse file leads without them.
            QCOMPARE(outline->index(0, FileOutlineModel::Name, top.siblingAtColumn(0)).data().toString(),
                apparent ? QStringLiteral("sparse.img") : QStringLiteral("Other Space"));
            QCOMPARE(window.selectedNodes(), std::vector<FileNode*> { fixture.node("sparse.img") });
            if (!apparent)
                continue;
            // The kinds are counted afresh; the Trash frees what the disk holds.
            QCOMPARE(window.kindsTable()->model()->index(0, KindsTableModel::Size).data().toString(),
                Fmt::bytes(50'000'000));
            struct stat held { };
            QVERIFY(::stat(fixture.path("sparse.img").c_str(), &held) == 0);
            window.perform(Command::MoveToTrash);
            const auto* question = window.findChild<QMessageBox*>(QStringLiteral("trashConfirmation"));
            QVERIFY(question && question->informativeText().contains(Fmt::bytes(held.st_blocks * 512)));
            QVERIFY(fixture.answerTrash(QStringLiteral("Cancel")));
        }
    }
};

QTEST_MAIN(ApparentSizesTest)
#include "tst_ApparentSizes.moc"
