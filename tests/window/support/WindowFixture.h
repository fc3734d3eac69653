// SPDX-License-Identifier: MIT
#pragma once

#include "platform/VolumeFacts.h"
#include "scan/NodeArena.h"
#include "support/TreeBuilder.h"
#include "support/TreeChecks.h"

#include <QPoint>

#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class DocumentWindowController;
class TreemapView;

// A folder built on disk for one test, removed afterwards.
class FolderFixture {
public:
    FolderFixture();
    [[nodiscard]] std::string root() const;
    [[nodiscard]] std::string path(const std::string& relative) const;
    void mkdir(const std::string& relative) const;
    // A file of `bytes` bytes of data (all of it allocated).
    void write(const std::string& relative, std::int64_t bytes) const;
    // A file of logical size `bytes` with no data written (almost nothing allocated).
    void sparse(const std::string& relative, std::int64_t bytes) const;
    // What the file system allocated for the item (st_blocks × 512).
    [[nodiscard]] std::int64_t allocated(const std::string& relative) const;

private:
    QTemporaryDir m_dir;
};

// The centre of the node's block in the view, or (-1, -1) when it has none.
[[nodiscard]] QPoint centreOf(const TreemapView& view, const FileNode* node);
// A document window on `root`, shown, once its first scan has ended; null if it did not.
[[nodiscard]] std::unique_ptr<DocumentWindowController> openScanned(
    const std::string& root, VolumeFactsProvider facts = {});
// `window` shown, once its first scan (or load) has ended with a tree; null otherwise.
[[nodiscard]] std::unique_ptr<DocumentWindowController> shownWithTree(
    std::unique_ptr<DocumentWindowController> window);
