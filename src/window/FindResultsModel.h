// SPDX-License-Identifier: MIT
#pragma once

#include "model/SearchJob.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <memory>

class FileNode;
class TallyfernDocument;

// The find results as a table: one row per matching item, largest first, with its name,
// the folder it is in, its size and its kind. Holds the search's answer, whose nodes stay
// valid only until the tree next changes: the window clears it before every change.
// Threads: main thread only.
class FindResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Folder, Size, Kind, ColumnCount };

    explicit FindResultsModel(const TallyfernDocument& document, QObject* parent = nullptr);

    std::function<QIcon(const FileNode*)> iconProvider;

    // Null clears the list.
    void setResult(std::shared_ptr<const SearchJob::Result> result);
    [[nodiscard]] const SearchJob::Result* result() const { return m_result.get(); }
    [[nodiscard]] FileNode* node(const QModelIndex& index) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TallyfernDocument& m_document;
    std::shared_ptr<const SearchJob::Result> m_result;
};
