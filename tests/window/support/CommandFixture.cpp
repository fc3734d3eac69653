// SPDX-License-Identifier: MIT
#include "window/support/CommandFixture.h"

#include "model/TallyfernDocument.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace {

QTemporaryDir& homeDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

FileTrash::Outcome RecordingWorkspace::moveToTrash(const std::string& path)
{
    if (refused.contains(path))
        return { false, path, QStringLiteral("Operation not permitted") };
    FileTrash::Outcome outcome = FileTrash().moveToTrash(path);
    if (outcome.moved)
        trashed.push_back(outcome.location);
    return outcome;
}

CommandFixture::CommandFixture()
{
    for (const char* dir : { "docs/deep/l2/l3/l4", "media", "empty", "Tool.app/Contents", "many" })
        folder.mkdir(dir);
    folder.write("docs/report.pdf", 400'000);
    folder.write("docs/notes.txt", 40'000);
    folder.write("docs/draft.md", 20'000);
    folder.write("docs/deep/l2/l3/l4/big.bin", 600'000);
    folder.write("media/photo.jpg", 300'000);
    folder.write("media/clip.mov", 250'000);
    folder.write("Tool.app/Contents/bin", 120'000);
    folder.write("Tool.app/Contents/res.dat", 30'000);
    folder.write("top.bin", 200'000);
    for (int i = 1; i <= 12; ++i)
        folder.write(QStringLiteral("many/f%1.log").arg(i, 2, 10, QLatin1Char('0')).toStdString(), 8'000);
}

CommandFixture::~CommandFixture()
{
    close();
}

void CommandFixture::isolateHome()
{
    const QString home = homeDir().path() + QStringLiteral("/home");
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    // Left uncreated on purpose: the trash must make it.
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toUtf8());
}

std::string CommandFixture::trashFiles()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()
        + "/Trash/files";
}

bool CommandFixture::open(bool wholeVolume)
{
    VolumeFactsProvider facts;
    const std::string root = folder.root();
    if (wholeVolume)
        facts = [root](const std::string&) {
            return std::optional<VolumeFacts>(VolumeFacts { root, kVolumeTotal, kVolumeFree, kVolumeFree });
        };
    else
        facts = [](const std::string&) { return std::optional<VolumeFacts>(); };
    window = openScanned(root, facts);
    if (window)
        window->setWorkspace(workspace);
    return window != nullptr;
}

void CommandFixture::close()
{
    if (window) {
        window->close();
        window.reset();
    }
}

FileNode* CommandFixture::node(const std::string& relative) const
{
    return nodeAt(window->disk().root(), relative);
}

FileOutlineModel* CommandFixture::model() const
{
    return static_cast<FileOutlineModel*>(window->outlineView()->model());
}

QModelIndex CommandFixture::indexOf(const FileNode* node) const
{
    return model()->indexOf(node);
}

void CommandFixture::reveal(const FileNode* node) const
{
    for (FileNode* ancestor : node->ancestors())
        window->outlineView()->expand(indexOf(ancestor));
    window->outlineView()->scrollTo(indexOf(node));
}

void CommandFixture::click(const FileNode* node, Qt::KeyboardModifiers modifiers) const
{
    reveal(node);
    FileOutlineView* outline = window->outlineView();
    const QRect rect = outline->visualRect(indexOf(node));
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, modifiers, rect.center());
}

void CommandFixture::selectRows(const std::vector<FileNode*>& nodes) const
{
    for (std::size_t i = 0; i < nodes.size(); ++i)
        click(nodes[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
}

QPoint CommandFixture::pointOf(const FileNode* node) const
{
    TreemapView* view = window->treemapView();
    for (int y = 2; y < view->height(); y += 3)
        for (int x = 2; x < view->width(); x += 3)
            if (view->nodeAt(QPointF(x, y)) == node)
                return { x, y };
    return { -1, -1 };
}

bool CommandFixture::confirmTrash() const
{
    for (QMessageBox* box : window->findChildren<QMessageBox*>(QStringLiteral("trashConfirmation"))) {
        if (!box->isVisible())
            continue; // a closed one lingers until deleted
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("Move to Trash")) {
                QTest::mouseClick(button, Qt::LeftButton);
                return true;
            }
    }
    return false;
}
