// SPDX-License-Identifier: MIT
#include "window/support/WindowFixture.h"

#include "model/TallyfernDocument.h"
#include "scan/Scanner.h"
#include "treemap/Treemap.h"
#include "window/DocumentWindowController.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FolderFixture::FolderFixture()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
}

std::string FolderFixture::root() const
{
    return QDir(m_dir.path()).canonicalPath().toStdString();
}

std::string FolderFixture::path(const std::string& relative) const
{
    return root() + "/" + relative;
}

void FolderFixture::mkdir(const std::string& relative) const
{
    if (!QDir().mkpath(QString::fromStdString(path(relative))))
        throw std::runtime_error("mkdir " + relative);
}

void FolderFixture::write(const std::string& relative, std::int64_t bytes) const
{
    const int fd = ::open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("create " + relative);
    std::string block(65536, 'x');
    for (std::int64_t left = bytes; left > 0;) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(left, std::int64_t(block.size())));
        if (::write(fd, block.data(), chunk) != static_cast<ssize_t>(chunk))
            throw std::runtime_error("write " + relative);
        left -= std::int64_t(chunk);
    }
    ::fsync(fd);
    ::close(fd);
}

void FolderFixture::sparse(const std::string& relative, std::int64_t bytes) const
{
    const int fd = ::open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, bytes) != 0)
        throw std::runtime_error("sparse " + relative);
    ::close(fd);
}

std::int64_t FolderFixture::allocated(const std::string& relative) const
{
    struct stat st { };
    if (::lstat(path(relative).c_str(), &st) != 0)
        throw std::runtime_error("stat " + relative);
    return std::int64_t(st.st_blocks) * 512;
}

QPoint centreOf(const TreemapView& view, const FileNode* node)
{
    const std::optional<TMRect> r = Treemap::rect(node, view.root(), view.bounds(), false);
    return r ? QPointF((r->x0 + r->x1) / 2, (r->y0 + r->y1) / 2).toPoint() : QPoint(-1, -1);
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
