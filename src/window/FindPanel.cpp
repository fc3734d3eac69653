// SPDX-License-Identifier: MIT
#include "window/FindPanel.h"

#include "widgets/CellPaint.h"
#include "widgets/Fmt.h"
#include "widgets/TextCellView.h"
#include "window/FindResultsModel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

FindPanel::FindPanel(FindResultsModel* model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_field(new QLineEdit)
    , m_regex(new QCheckBox(tr("Regular expression")))
    , m_problem(new QLabel)
    , m_total(new QLabel)
    , m_results(new QTreeView)
{
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(tr("Find by name: text, or a pattern with * ? [ ]"));
    m_field->setClearButtonEnabled(true);
    m_regex->setObjectName(QStringLiteral("findRegex"));
    m_problem->setObjectName(QStringLiteral("findProblem"));
    m_problem->setFont(CellPaint::uiFont(11));
    CellPaint::styleProblemLabel(m_problem);
    m_total->setObjectName(QStringLiteral("findTotal"));
    m_total->setFont(CellPaint::uiFont(11));

    m_results->setObjectName(QStringLiteral("findResults"));
    m_results->setModel(model);
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAlternatingRowColors(true);
    m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setContextMenuPolicy(Qt::CustomContextMenu);
    m_results->setItemDelegateForColumn(
        FindResultsModel::Size, new TextCellView(Qt::AlignRight, true, m_results));
    m_results->setItemDelegateForColumn(
        FindResultsModel::Folder, new TextCellView(Qt::AlignLeft, false, m_results));
    m_results->setItemDelegateForColumn(
        FindResultsModel::Kind, new TextCellView(Qt::AlignLeft, false, m_results));
    m_results->header()->setStretchLastSection(false);
    m_results->header()->setSectionResizeMode(FindResultsModel::Name, QHeaderView::Stretch);
    m_results->header()->resizeSection(FindResultsModel::Folder, 150);
    m_results->header()->resizeSection(FindResultsModel::Size, 72);
    m_results->header()->resizeSection(FindResultsModel::Kind, 100);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->setContentsMargins(0, 0, 0, 0);
    fieldRow->addWidget(m_field, 1);
    fieldRow->addWidget(m_regex);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->setSpacing(4);
    layout->addLayout(fieldRow);
    layout->addWidget(m_problem);
    layout->addWidget(m_total);
    layout->addWidget(m_results, 1);

    const auto changed = [this] { emit queryChanged(query(), regularExpression()); };
    connect(m_field, &QLineEdit::textChanged, this, changed);
    connect(m_regex, &QCheckBox::toggled, this, changed);
    connect(m_results->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { emit resultsSelected(); });
    connect(m_results, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        const QModelIndex index = m_results->indexAt(pos);
        if (!index.isValid())
            return;
        if (!m_results->selectionModel()->isSelected(index))
            m_results->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (std::unique_ptr<QMenu> menu = menuProvider ? menuProvider() : nullptr)
            menu->exec(m_results->viewport()->mapToGlobal(pos));
    });
    m_field->installEventFilter(this);
    m_results->installEventFilter(this);
    setTotal(-1, 0);
}

QString FindPanel::query() const
{
    return m_field->text();
}

bool FindPanel::regularExpression() const
{
    return m_regex->isChecked();
}

void FindPanel::activate()
{
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindPanel::setProblem(const QString& message)
{
    m_problem->setText(message);
    m_problem->setVisible(!message.isEmpty());
}

void FindPanel::setTotal(std::int64_t items, std::int64_t bytes)
{
    if (items < 0) {
        m_total->clear();
        return;
    }
    const int n = int(std::min<std::int64_t>(items, INT32_MAX));
    const QString count = n == 1 ? tr("%Ln item", "found", n) : tr("%Ln items", "found", n);
    m_total->setText(count + QStringLiteral(" · ") + Fmt::bytes(bytes));
}

std::vector<FileNode*> FindPanel::selectedResults() const
{
    std::vector<FileNode*> nodes;
    for (const QModelIndex& index : m_results->selectionModel()->selectedRows())
        if (FileNode* node = m_model->node(index))
            nodes.push_back(node);
    return nodes;
}

bool FindPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (m_field->text().isEmpty())
            emit dismissed();
        else
            m_field->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
