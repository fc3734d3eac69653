// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;

// Lists the folders of a scan that could not be read, so the user can see what the
// totals leave out and fix the permissions.
class UnreadableFoldersWindow : public QDialog {
    Q_OBJECT
public:
    // `paths`: file system bytes; `total`: how many there are (the list may be cut).
    UnreadableFoldersWindow(
        const std::vector<std::string>& paths, std::size_t total, QWidget* parent = nullptr);
    [[nodiscard]] QListWidget* list() const { return m_list; }

private:
    QListWidget* m_list;
};
