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

TreeBuilder::TreeBuilder(const std::string& rootPath)
{
    m_tree.root = m_tree.arena.make(rootPath, nullptr, 0, 0, 0, 2, NodeFlags::Directory);
}

FileNode* TreeBuilder::folder(FileNode* parent, const std::string& name)
{
    FileNode* node = m_tree.arena.make(name, parent, 0, 0, 0, 2, NodeFlags::Directory);
    m_tree.arena.appendChild(parent, node);
    return node;
}

FileNode* TreeBuilder::file(
    FileNode* parent, const std::string& name, std::int64_t size, std::int64_t logical)
{
    FileNode* node = m_tree.arena.make(name, parent, size, logical < 0 ? size : logical, 1, 2, NodeFlags());
    m_tree.arena.appendChild(parent, node);
    return node;
}

FileTree TreeBuilder::finish()
{
    Scanner::finalize(m_tree.root);
    return std::move(m_tree);
}

FileNode* nodeAt(FileNode* root, std::string_view relative)
{
    FileNode* current = root;
    while (current && !relative.empty()) {
        const std::size_t slash = std::min(relative.find('/'), relative.size());
        FileNode* next = nullptr;
        for (FileNode* child : current->children())
            if (child->name() == relative.substr(0, slash))
                next = child;
        current = next;
        relative.remove_prefix(std::min(slash + 1, relative.size()));
    }
    return current;
}

QPoint centreOf(const TreemapView& view, const FileNode* node)
{
    const std::optional<TMRect> r = Treemap::rect(node, view.root(), view.bounds(), false);
    return r ? QPointF((r->x0 + r->x1) / 2, (r->y0 + r->y1) / 2).toPoint() : QPoint(-1, -1);
}

std::unique_ptr<DocumentWindowController> openScanned(const std::string& root, VolumeFactsProvider facts)
{
    auto window = std::make_unique<DocumentWindowController>(root, std::move(facts));
    QSignalSpy ended(window.get(), &DocumentWindowController::scanEnded);
    window->show();
    // The scan may have ended while the window was being exposed.
    if (!QTest::qWaitForWindowExposed(window.get()) || (ended.isEmpty() && !ended.wait(20000))
        || !window->disk().root())
        return nullptr;
    return window;
}
