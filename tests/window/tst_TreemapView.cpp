// SPDX-License-Identifier: MIT
// The treemap view on its own: render coalescing, outlines, pointer and key forwarding.
#include "treemap/Treemap.h"
#include "treemap/TreemapView.h"
#include "window/support/WindowFixture.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Records what the view asks of its controller.
class RecordingDelegate : public TreemapViewDelegate {
public:
    std::vector<FileNode*> selected;
    std::vector<FileNode*> doubleClicked;
    std::vector<FileNode*> statuses;
    int menus = 0;
    int quickLooks = 0;
    void select(FileNode* node) override { selected.push_back(node); }
    void didDoubleClick(FileNode* node) override { doubleClicked.push_back(node); }
    void updateStatus(FileNode* node) override { statuses.push_back(node); }
    std::unique_ptr<QMenu> contextMenu() override
    {
        ++menus;
        return nullptr;
    }
    void toggleQuickLook() override { ++quickLooks; }
};

// A parent that notes the keys its child passed on.
class KeyRecorder : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

} // namespace

class TreemapViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<KeyRecorder> m_window;
    TreemapView* m_view = nullptr;
    FileTree m_tree;
    std::vector<FileNode*> m_files;
    RecordingDelegate m_delegate;

    QPoint centreOf(const FileNode* node) const
    {
        const std::optional<TMRect> r = Treemap::rect(node, m_view->root(), m_view->bounds(), false);
        return r ? QPointF((r->x0 + r->x1) / 2, (r->y0 + r->y1) / 2).toPoint() : QPoint(-1, -1);
    }

private slots:
    void init()
    {
        TreeBuilder builder("/t");
        FileNode* folder = builder.folder(builder.root(), "folder");
        m_files.clear();
        for (int i = 0; i < 150; ++i)
            m_files.push_back(
                builder.file(i % 2 ? folder : builder.root(), "f" + std::to_string(i), 1000 + i * 37));
        m_tree = builder.finish();
        m_delegate = RecordingDelegate();
        m_window = std::make_unique<KeyRecorder>();
        m_window->resize(400, 300);
        m_view = new TreemapView(m_window.get());
        m_view->setGeometry(0, 0, 400, 300);
        m_view->setDelegate(&m_delegate);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void requestsInOneTurnStartOneRender()
    {
        QSignalSpy delivered(m_view, &TreemapView::imageDelivered);
        const int before = m_view->renderCount();
        for (int i = 0; i < 20; ++i) {
            m_view->setRoot(m_tree.root);
            m_view->setColors({ { 0.1, 0.2, 0.3 }, { 0.5, 0.5, 0.5 }, { 0.9, 0.1, 0.1 } });
            m_view->setShowPackageContents(i % 2 == 0);
            m_view->setHighlightKind(i % 3 == 0 ? std::optional<std::int32_t>(2) : std::nullopt);
        }
        QVERIFY(delivered.wait(10000));
        QCOMPARE(m_view->renderCount(), before + 1);
        QCOMPARE(delivered.count(), 1);
        QCOMPARE(m_view->image().size(), QSize(400, 300) * m_view->devicePixelRatioF());
        QCOMPARE(m_view->image().devicePixelRatio(), m_view->devicePixelRatioF());
    }

    void onlyAChangedHighlightRendersAgain()
    {
        QSignalSpy delivered(m_view, &TreemapView::imageDelivered);
        m_view->setRoot(m_tree.root);
        QVERIFY(delivered.wait(10000));
        const int renders = m_view->renderCount();
        m_view->setHighlightKind(std::nullopt); // already absent
        QCoreApplication::processEvents();
        QCOMPARE(m_view->renderCount(), renders);
        m_view->setHighlightKind(7);
        m_view->setHighlightKind(7);
        QVERIFY(delivered.wait(10000));
        QCOMPARE(m_view->renderCount(), renders + 1);
        m_view->setHighlightKind(7);
        QCoreApplication::processEvents();
        QCOMPARE(m_view->renderCount(), renders + 1);
        // The selection redraws the outlines over the image; it does not render.
        m_view->setSelection({ m_files[0] });
        QCoreApplication::processEvents();
        QCOMPARE(m_view->renderCount(), renders + 1);
    }

    void aResizeKeepsTheOldImageUntilTheNewOneArrives()
    {
        QSignalSpy delivered(m_view, &TreemapView::imageDelivered);
        m_view->setRoot(m_tree.root);
        QVERIFY(delivered.wait(10000));
        const qint64 oldImage = m_view->image().cacheKey();
        for (int w = 300; w < 320; ++w)
            m_view->resize(w, 200);
        QCOMPARE(m_view->image().cacheKey(), oldImage); // shown stretched meanwhile
        QVERIFY(delivered.wait(10000));
        QCOMPARE(m_view->image().size(), QSize(319, 200) * m_view->devicePixelRatioF());
    }

    void noRootOrNoAreaMeansNoImage()
    {
        QSignalSpy delivered(m_view, &TreemapView::imageDelivered);
        m_view->setRoot(m_tree.root);
        QVERIFY(delivered.wait(10000));
        m_view->resize(0, 300);
        QTRY_VERIFY(m_view->image().isNull());
        m_view->resize(400, 300);
        QVERIFY(delivered.wait(10000));
        m_view->setRoot(nullptr);
        QTRY_VERIFY(m_view->image().isNull());
        QCOMPARE(m_view->nodeAt(QPointF(10, 10)), nullptr);
    }

    void outlinesTheFirstHundredSelectedNodes()
    {
        m_view->setRoot(m_tree.root);
        m_view->setSelection(m_files);
        const std::vector<QRectF> outlines = m_view->selectionOutlines();
        QCOMPARE(outlines.size(), TreemapView::kMaxOutlined);
        for (std::size_t i = 0; i < outlines.size(); ++i) {
            const std::optional<TMRect> r = Treemap::rect(m_files[i], m_tree.root, m_view->bounds(), false);
            QVERIFY(r);
            QCOMPARE(outlines[i], QRectF(r->x0 + 1, r->y0 + 1, r->width() - 2, r->height() - 2));
        }
        // A node outside the zoom root has no rectangle and no outline.
        m_view->setRoot(m_files[1]->parent);
        m_view->setSelection({ m_files[0], m_files[1] });
        QCOMPARE(m_view->selectionOutlines().size(), std::size_t(1));
    }

    void hoverReportsEachNewNodeOnce()
    {
        m_view->setRoot(m_tree.root);
        FileNode* a = m_files[0];
        FileNode* b = m_files[2];
        const QPoint pa = centreOf(a);
        QTest::mouseMove(m_view, pa);
        QTRY_COMPARE(m_delegate.statuses.size(), std::size_t(1));
        QTest::mouseMove(m_view, pa + QPoint(1, 1)); // same leaf
        QTest::mouseMove(m_view, pa + QPoint(0, 1));
        QCoreApplication::processEvents();
        QCOMPARE(m_delegate.statuses, std::vector<FileNode*> { a });
        QTest::mouseMove(m_view, centreOf(b));
        QTRY_COMPARE(m_delegate.statuses.size(), std::size_t(2));
        QCOMPARE(m_delegate.statuses.back(), b);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_view, &leave);
        QCOMPARE(m_delegate.statuses.back(), nullptr);
        QCOMPARE(m_view->hovered(), nullptr);
    }

    void clicksSelectDoubleClicksZoomAndMenusSelectFirst()
    {
        m_view->setRoot(m_tree.root);
        FileNode* a = m_files[4];
        QTest::mouseClick(m_view, Qt::LeftButton, {}, centreOf(a));
        QCOMPARE(m_delegate.selected, std::vector<FileNode*> { a });
        QVERIFY(m_view->hasFocus());
        QTest::mouseDClick(m_view, Qt::LeftButton, {}, centreOf(a));
        QCOMPARE(m_delegate.doubleClicked, std::vector<FileNode*> { a });
        m_delegate.selected.clear();
        QContextMenuEvent menu(
            QContextMenuEvent::Mouse, centreOf(m_files[6]), m_view->mapToGlobal(centreOf(m_files[6])));
        QCoreApplication::sendEvent(m_view, &menu);
        QCOMPARE(m_delegate.selected, std::vector<FileNode*> { m_files[6] });
        QCOMPARE(m_delegate.menus, 1);
    }

    void menuOnEmptyBackgroundShowsNothing()
    {
        // A root of size 0 has no blocks: there is nothing under the pointer.
        TreeBuilder builder("/empty");
        builder.folder(builder.root(), "nothing");
        FileTree empty = builder.finish();
        m_view->setRoot(empty.root);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(50, 50), m_view->mapToGlobal(QPoint(50, 50)));
        QCoreApplication::sendEvent(m_view, &menu);
        QCOMPARE(m_delegate.menus, 0);
        QVERIFY(m_delegate.selected.empty());
    }

    void spaceGoesToTheDelegateOtherKeysGoOn()
    {
        m_view->setFocus();
        QTest::keyClick(m_view, Qt::Key_Space);
        QCOMPARE(m_delegate.quickLooks, 1);
        QVERIFY(m_window->keys.empty());
        QTest::keyClick(m_view, Qt::Key_A);
        QCOMPARE(m_window->keys, std::vector<int> { Qt::Key_A });
        // Without a delegate Space is still consumed.
        m_view->setDelegate(nullptr);
        QTest::keyClick(m_view, Qt::Key_Space);
        QCOMPARE(m_window->keys, std::vector<int> { Qt::Key_A });
    }
};

QTEST_MAIN(TreemapViewTest)
#include "tst_TreemapView.moc"
