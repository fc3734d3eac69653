// SPDX-License-Identifier: MIT
#include "window/support/WindowFixture.h"

#include "model/TallyfernDocument.h"
#include "model/support/Volumes.h"
#include "treemap/Treemap.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

FileTrash::Outcome RecordingWorkspace::moveToTrash(const std::string& path)
{
    if (refused.contains(path))
        return { false, path, QStringLiteral("Operation not permitted") };
    return FileTrash().moveToTrash(path);
}

std::unique_ptr<DocumentWindowController> openScanned(const std::string& root, VolumeFactsProvider facts)
{
    return shownWithTree(std::make_unique<DocumentWindowController>(root, std::move(facts)));
}

std::unique_ptr<DocumentWindowController> shownWithTree(std::unique_ptr<DocumentWindowController> window)
{
    QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
    window->show();
    // The scan may have ended while the window was being exposed.
    if (!QTest::qWaitForWindowExposed(window.get()) || (ended.isEmpty() && !ended.wait(20000))
        || !window->disk().root())
        return nullptr;
    return window;
}

DocumentFixture::DocumentFixture()
{
    const std::pair<const char*, std::int64_t> files[] = { { "docs/report.pdf", 400'000 },
        { "docs/notes.txt", 40'000 }, { "docs/draft.md", 20'000 }, { "docs/deep/l2/l3/l4/big.bin", 600'000 },
        { "media/photo.jpg", 300'000 }, { "media/clip.mov", 250'000 }, { "Tool.app/Contents/bin", 120'000 },
        { "Tool.app/Contents/res.dat", 30'000 }, { "top.bin", 200'000 } };
    for (const auto& [name, size] : files)
        write(name, size);
    for (int i = 1; i <= 12; ++i)
        write(QString::asprintf("many/f%02d.log", i).toStdString(), 8'000);
    QDir().mkpath(QString::fromStdString(path("empty")));
}

void DocumentFixture::isolateHome()
{
    static QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/home");
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    // Left uncreated on purpose: the trash must make it.
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toUtf8());
}

std::string FolderFixture::path(const std::string& relative) const
{
    const std::string root = QDir(folder.path()).canonicalPath().toStdString();
    return relative.empty() ? root : root + "/" + relative;
}

void FolderFixture::write(const std::string& relative, std::int64_t bytes) const
{
    const std::string file = path(relative);
    QDir().mkpath(QString::fromStdString(file.substr(0, file.rfind('/'))));
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string data(std::size_t(bytes), 'x');
    if (fd < 0 || ::write(fd, data.data(), data.size()) != ssize_t(data.size()) || ::fsync(fd) != 0)
        throw std::runtime_error("write " + relative);
    ::close(fd);
}

bool DocumentFixture::open(bool wholeVolume)
{
    window = openScanned(
        path(""), wholeVolume ? volume(path(""), 100'000'000, 40'000'000, 40'000'000) : noVolume());
    if (window)
        window->setWorkspace(workspace);
    return window != nullptr;
}

FileNode* DocumentFixture::node(const std::string& relative) const
{
    return nodeAt(window->disk().root(), relative);
}

QModelIndex DocumentFixture::indexOf(const FileNode* node) const
{
    return static_cast<FileOutlineModel*>(window->outlineView()->model())->indexOf(node);
}

void DocumentFixture::reveal(const FileNode* node) const
{
    for (FileNode* ancestor : node->ancestors())
        window->outlineView()->expand(indexOf(ancestor));
    window->outlineView()->scrollTo(indexOf(node));
}

void DocumentFixture::selectRows(const std::vector<FileNode*>& nodes) const
{
    FileOutlineView* outline = window->outlineView();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        reveal(nodes[i]);
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier,
            outline->visualRect(indexOf(nodes[i])).center());
    }
}

void DocumentFixture::clickBlock(const FileNode* node, bool twice) const
{
    TreemapView* view = window->treemapView();
    const std::optional<TMRect> r = Treemap::rect(node, view->root(), view->bounds(), false);
    const QPoint point = r ? QPointF((r->x0 + r->x1) / 2, (r->y0 + r->y1) / 2).toPoint() : QPoint(-1, -1);
    // A double click as the user makes it: the first click, then the second.
    QTest::mouseClick(view, Qt::LeftButton, {}, point);
    if (twice)
        QTest::mouseDClick(view, Qt::LeftButton, {}, point);
}

bool DocumentFixture::answerTrash(const QString& text) const
{
    for (QMessageBox* box : window->findChildren<QMessageBox*>(QStringLiteral("trashConfirmation")))
        for (QAbstractButton* button : box->buttons())
            if (box->isVisible() && button->text() == text) { // a closed one lingers until deleted
                QTest::mouseClick(button, Qt::LeftButton);
                return true;
            }
    return false;
}
