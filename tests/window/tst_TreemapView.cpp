// SPDX-License-Identifier: MIT
// The treemap view on its own: requests made in one turn of the event loop coalesce.
#include "window/TreemapView.h"
#include "window/support/WindowFixture.h"

#include <QSignalSpy>
#include <QTest>

class TreemapViewTest : public QObject {
    Q_OBJECT

private slots:
    void requestsInOneTurnStartOneRender()
    {
        TreeBuilder builder("/t");
        FileNode* folder = builder.folder(builder.root(), "folder");
        std::vector<FileNode*> files;
        for (int i = 0; i < 150; ++i)
            files.push_back(
                builder.file(i % 2 ? folder : builder.root(), "f" + std::to_string(i), 1000 + i * 37));
        FileTree tree = builder.finish();
        TreemapView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QSignalSpy delivered(&view, &TreemapView::imageDelivered);
        const int before = view.renderCount();
        for (int i = 0; i < 20; ++i) {
            view.setRoot(tree.root);
            view.setColors({ { 0.1, 0.2, 0.3 }, { 0.5, 0.5, 0.5 }, { 0.9, 0.1, 0.1 } });
            view.setShowPackageContents(i % 2 == 0);
            view.setHighlightKind(i % 3 == 0 ? std::optional<std::int32_t>(2) : std::nullopt);
        }
        QVERIFY(delivered.wait(10000));
        QCOMPARE(view.renderCount(), before + 1);
        QCOMPARE(delivered.count(), 1);
        QCOMPARE(view.image().size(), QSize(400, 300) * view.devicePixelRatioF());

        // Only a changed highlight renders again; the selection only redraws outlines.
        view.setHighlightKind(7);
        view.setHighlightKind(7);
        QVERIFY(delivered.wait(10000));
        QCOMPARE(view.renderCount(), before + 2);
        view.setHighlightKind(7);
        view.setSelection({ files[0] });
        QCoreApplication::processEvents();
        QCOMPARE(view.renderCount(), before + 2);
    }
};

QTEST_MAIN(TreemapViewTest)
#include "tst_TreemapView.moc"
