// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class FileNode;
class FindResultsModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeView;

// The find field of a document window, with its regular-expression option, the reason a
// pattern is refused, the results list and their total. It only shows and reports: the
// window runs the searches and fills the list's model. Escape clears the field, and on an
// empty field dismisses the panel. Main thread only.
class FindPanel : public QWidget {
    Q_OBJECT
public:
    explicit FindPanel(FindResultsModel* model, QWidget* parent = nullptr);

    // The menu for a context-menu gesture on a result, once it is selected; may be null.
    std::function<std::unique_ptr<QMenu>()> menuProvider;

    [[nodiscard]] QString query() const;
    [[nodiscard]] bool regularExpression() const;
    // Shows the field, focused with its text selected.
    void activate();
    // Says why the query is refused; an empty message hides it.
    void setProblem(const QString& message);
    // The total line: counted items and their bytes; a negative count empties it.
    void setTotal(std::int64_t items, std::int64_t bytes);
    [[nodiscard]] std::vector<FileNode*> selectedResults() const;

    [[nodiscard]] QLineEdit* field() const { return m_field; }
    [[nodiscard]] QTreeView* results() const { return m_results; }

signals:
    void queryChanged(const QString& query, bool regularExpression);
    void resultsSelected(); // the user changed the selection in the list
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FindResultsModel* m_model;
    QLineEdit* m_field;
    QCheckBox* m_regex;
    QLabel* m_problem;
    QLabel* m_total;
    QTreeView* m_results;
};
