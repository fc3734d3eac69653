// SPDX-License-Identifier: MIT
// Find by name and the scan preferences of a document window: the find panel, the
// searches behind it and what the results light up; the preferences dialog and what it
// gives the scans.
#include "window/DocumentWindowController.h"

#include "model/ScanJob.h"
#include "model/ScanPreferences.h"
#include "model/TallyfernDocument.h"
#include "widgets/CellPaint.h"
#include "widgets/EnglishPlurals.h"
#include "widgets/Fmt.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/FindPanel.h"
#include "window/FindResultsModel.h"
#include "window/PreferencesDialog.h"

#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

void DocumentWindowController::buildFindPanel()
{
    m_searchJob = new SearchJob(*m_disk, this);
    m_findModel = new FindResultsModel(*m_disk, this);
    m_findModel->iconProvider = [this](const FileNode* node) { return icon(node); };
    m_findPanel = new FindPanel(m_findModel);
    m_findPanel->setObjectName(QStringLiteral("find"));
    m_findPanel->hide();
    QPointer<DocumentWindowController> self(this);
    m_findPanel->menuProvider
        = [self]() -> std::unique_ptr<QMenu> { return self ? self->contextMenu() : nullptr; };
    connect(m_findPanel, &FindPanel::queryChanged, this, &DocumentWindowController::findQueryChanged);
    connect(m_findPanel, &FindPanel::resultsSelected, this, &DocumentWindowController::findResultsSelected);
    connect(m_findPanel, &FindPanel::dismissed, this, [this] {
        m_findPanel->hide();
        m_outlineView->setFocus();
    });
    connect(m_searchJob, &SearchJob::found, this, &DocumentWindowController::showFound);
}

void DocumentWindowController::showFind()
{
    if (m_findPanel->isHidden()) {
        // The panel takes half of the outline's height.
        QList<int> sizes = m_leftSplit->sizes();
        const int half = sizes[1] / 2;
        m_findPanel->show();
        m_leftSplit->setSizes({ half, sizes[1] - half, sizes[2] });
    }
    m_findPanel->activate();
}

void DocumentWindowController::findQueryChanged()
{
    const QString query = m_findPanel->query();
    // The list goes at once: what it shows no longer answers the field.
    m_findModel->setResult(nullptr);
    m_findPanel->setTotal(-1, 0);
    QString problem;
    if (query.isEmpty() || isScanning() || !m_disk->root())
        m_searchJob->cancel();
    else
        problem = m_searchJob->start(m_disk->root(), query, m_findPanel->regularExpression());
    m_findPanel->setProblem(problem);
    if (query.isEmpty() || !problem.isEmpty())
        m_treemapView->setHighlightItems(nullptr);
}

void DocumentWindowController::showFound(const std::shared_ptr<const SearchJob::Result>& result)
{
    m_findModel->setResult(result);
    m_findPanel->setTotal(std::int64_t(result->found.items.size()), result->found.size);
    m_treemapView->setHighlightItems(result->items);
}

void DocumentWindowController::findResultsSelected()
{
    std::vector<FileNode*> nodes = m_findPanel->selectedResults();
    if (!nodes.empty())
        selectNodes(nodes);
}

void DocumentWindowController::dropFindResults()
{
    m_searchJob->cancel();
    m_findModel->setResult(nullptr);
    m_findPanel->setTotal(-1, 0);
    m_treemapView->setHighlightItems(nullptr);
}

QModelIndex DocumentWindowController::reveal(FileNode* node)
{
    // The rows from the root down, each found from the one above (linear in the depth).
    // The tree view lays out an opened path in time quadratic in its depth, so past
    // kMaxOpenedLevels the node is shown by its ancestor at that depth.
    std::vector<FileNode*> path = node->ancestors();
    path.push_back(node);
    if (path.size() > kMaxOpenedLevels + 1)
        path.resize(kMaxOpenedLevels + 1);
    QModelIndex index = m_outlineModel->indexOf(path.front());
    for (std::size_t level = 1; index.isValid() && level < path.size(); ++level) {
        const QModelIndex below = m_outlineModel->childIndex(index, path[level]);
        if (below.isValid())
            m_outlineView->expand(index);
        index = below;
    }
    return index;
}

void DocumentWindowController::selectNodes(const std::vector<FileNode*>& nodes)
{
    QItemSelection selection;
    QModelIndex last;
    for (std::size_t i = 0; i < nodes.size() && i < kMaxSelectedResults; ++i) {
        const QModelIndex index = reveal(nodes[i]);
        if (!index.isValid())
            continue;
        selection.select(index, index.siblingAtColumn(m_outlineModel->columnCount() - 1));
        last = index;
    }
    if (!last.isValid())
        return;
    QItemSelectionModel* model = m_outlineView->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    model->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
    m_outlineView->scrollTo(last);
}

// ---------------------------------------------------------------------------------
// Preferences

void DocumentWindowController::showPreferences()
{
    auto* dialog = new PreferencesDialog(ScanPreferences::load(), m_launchScan, this);
    dialog->setObjectName(QStringLiteral("preferences"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        dialog->preferences().save();
        applyScanPreferences();
    });
    dialog->open();
}

bool DocumentWindowController::applyScanPreferences()
{
    const ScanPreferences preferences = ScanPreferences::load();
    QString problem;
    std::shared_ptr<const ExcludePatterns> patterns = preferences.compile(problem, m_launchScan.excludes);
    const bool keptUsable = patterns != nullptr;
    // The command line's patterns were checked at launch: a broken kept list leaves them in force.
    if (!keptUsable) {
        QString unused;
        patterns = ScanPreferences {}.compile(unused, m_launchScan.excludes);
    }
    m_scanJob->setOptions(patterns, preferences.crossFileSystems || m_launchScan.crossFileSystems);
    if (!keptUsable) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Exclude patterns not used"),
            tr("The kept exclude patterns cannot be used: %1.").arg(problem), QMessageBox::Ok, this);
        box->setInformativeText(m_launchScan.excludes.empty()
                ? tr("Nothing is left out of scans until the list is mended in Preferences.")
                : tr("Only the patterns from the command line are left out of scans until the list is "
                     "mended in Preferences."));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    return keptUsable;
}

QWidget* DocumentWindowController::launchScanButton()
{
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("launchScan"));
    button->setAutoRaise(true);
    button->setFont(CellPaint::uiFont(11));
    QStringList parts;
    if (const auto count = std::int64_t(m_launchScan.excludes.size()))
        parts << tr("%1 excludes from the command line", nullptr, EnglishPlurals::numerus(count))
                     .arg(Fmt::count(count));
    if (m_launchScan.crossFileSystems)
        parts << tr("crossing file systems");
    button->setText(parts.join(QStringLiteral(" · ")));
    button->setToolTip(tr("Given on the command line for this window and used by all its scans, on top "
                          "of the preferences; not saved. Click to see them."));
    button->setVisible(!m_launchScan.empty());
    connect(button, &QToolButton::clicked, this, &DocumentWindowController::showPreferences);
    return button;
}
