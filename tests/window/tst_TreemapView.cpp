// SPDX-License-Identifier: MIT
// The treemap view on its own: render coalescing and what pointer events ask of it.
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
    int menus = 0;
    void select(FileNode* node) override { selected.push_back(node); }
    void didDoubleClick(FileNode* node) override { doubleClicked.push_back(node); }
    void updateStatus(FileNode*) override { }
    std::unique_ptr<QMenu> contextMenu() override
    {
        ++menus;
        return nullptr;
    }
    void toggleQuickLook() override { }
};

} // namespace

class TreemapViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    TreemapView* m_view = nullptr;
    FileTree m_tree;
    std::vector<FileNode*> m_files;
    RecordingDelegate m_delegate;

    QPoint centreOf(const FileNode* node) const { return ::centreOf(*m_view, node); }

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
        m_window = std::make_unique<QWidget>();
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

        // Only a changed highlight renders again; the selection only redraws outlines.
        m_view->setHighlightKind(7);
        m_view->setHighlightKind(7);
        QVERIFY(delivered.wait(10000));
        QCOMPARE(m_view->renderCount(), before + 2);
        m_view->setHighlightKind(7);
        m_view->setSelection({ m_files[0] });
        QCoreApplication::processEvents();
        QCOMPARE(m_view->renderCount(), before + 2);
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

        // A root of size 0 has no blocks: nothing under the pointer, no menu.
        TreeBuilder builder("/empty");
        builder.folder(builder.root(), "nothing");
        FileTree empty = builder.finish();
        m_view->setRoot(empty.root);
        QCoreApplication::sendEvent(m_view, &menu);
        QCOMPARE(m_delegate.menus, 1);
    }
};

QTEST_MAIN(TreemapViewTest)
#include "tst_TreemapView.moc"
