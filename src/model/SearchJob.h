// SPDX-License-Identifier: MIT
#pragma once

#include "model/NameSearch.h"
#include "model/NodeSet.h"

#include <QObject>
#include <QString>

#include <memory>

class FileNode;
class TallyfernDocument;

// The searches of one find field, without any widget. Each query runs on the document's
// render queue, where the tree holds still (every change of the tree waits for that
// queue), and fans out over the worker pool; a new query or cancel() stops the one
// before, and only the latest query's answer is delivered.
//
// Threads: members run on the main thread and `found` comes on it. The caller keeps
// full scans from installing while a search runs (start only when no scan runs).
class SearchJob : public QObject {
    Q_OBJECT
public:
    struct Result {
        NameSearch::Found found;
        std::shared_ptr<const NodeSet> items; // the same nodes, for look-ups
    };

    explicit SearchJob(TallyfernDocument& document, QObject* parent = nullptr);
    ~SearchJob() override;

    // Cancels the running search and starts one for `query` below `root`. Answers why the
    // query is malformed (then nothing runs), else an empty string.
    [[nodiscard]] QString start(const FileNode* root, const QString& query, bool regularExpression);
    void cancel();

signals:
    void found(std::shared_ptr<const SearchJob::Result> result);

private:
    TallyfernDocument& m_document;
    SearchSession m_session;
};
