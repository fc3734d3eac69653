// SPDX-License-Identifier: MIT
#include "window/ToolbarCustomizationDialog.h"

#include "window/ToolbarConfiguration.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int kIdentifierRole = Qt::UserRole;

QListWidgetItem* makeItem(const QString& identifier)
{
    QIcon icon = ToolbarConfiguration::icon(identifier);
    if (icon.isNull()) {
        // Spaces have no icon; a blank one keeps their labels in line with the others.
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        icon = QIcon(blank);
    }
    auto* item = new QListWidgetItem(icon, ToolbarConfiguration::label(identifier));
    item->setData(kIdentifierRole, identifier);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    return item;
}

QString identifierOf(const QListWidgetItem* item)
{
    return item ? item->data(kIdentifierRole).toString() : QString();
}

} // namespace

ToolbarCustomizationDialog::ToolbarCustomizationDialog(const QStringList& current, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Customize Toolbar"));

    m_available = new QListWidget(this);
    QStringList offered = ToolbarConfiguration::commandItems();
    offered << ToolbarConfiguration::kFlexibleSpace << ToolbarConfiguration::kSpace;
    for (const QString& identifier : offered)
        m_available->addItem(makeItem(identifier));

    m_toolbar = new QListWidget(this);
    m_toolbar->setDragDropMode(QAbstractItemView::InternalMove);
    m_toolbar->setDefaultDropAction(Qt::MoveAction);

    m_add = new QPushButton(tr("Add"), this);
    m_remove = new QPushButton(tr("Remove"), this);
    m_up = new QPushButton(tr("Move Up"), this);
    m_down = new QPushButton(tr("Move Down"), this);
    auto* restore = new QPushButton(tr("Restore Defaults"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(restore, QDialogButtonBox::ResetRole);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* button : { m_add, m_remove, m_up, m_down })
        middle->addWidget(button);
    middle->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Available items:"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Toolbar items, in order:"), this), 0, 2);
    grid->addWidget(m_available, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_toolbar, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &ToolbarCustomizationDialog::addSelected);
    connect(m_available, &QListWidget::itemDoubleClicked, this, &ToolbarCustomizationDialog::addSelected);
    connect(m_remove, &QPushButton::clicked, this, &ToolbarCustomizationDialog::removeSelected);
    connect(m_up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(restore, &QPushButton::clicked, this, [this] { setItems(ToolbarConfiguration::defaultItems()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &ToolbarCustomizationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ToolbarCustomizationDialog::reject);
    connect(m_available, &QListWidget::currentRowChanged, this, &ToolbarCustomizationDialog::updateButtons);
    connect(m_toolbar, &QListWidget::currentRowChanged, this, &ToolbarCustomizationDialog::updateButtons);
    connect(
        m_toolbar->model(), &QAbstractItemModel::rowsMoved, this, &ToolbarCustomizationDialog::updateButtons);
    auto* removeKey = new QShortcut(QKeySequence::Delete, m_toolbar, nullptr, nullptr, Qt::WidgetShortcut);
    connect(removeKey, &QShortcut::activated, this, &ToolbarCustomizationDialog::removeSelected);

    setItems(ToolbarConfiguration::sanitized(current));
    m_available->setCurrentRow(0);
    // Room for every offered item without scrolling.
    const int rows = m_available->count() + 1;
    for (QListWidget* list : { m_available, m_toolbar })
        list->setMinimumHeight(list->sizeHintForRow(0) * rows + 2 * list->frameWidth());
}

QStringList ToolbarCustomizationDialog::chosenItems() const
{
    QStringList identifiers;
    for (int row = 0; row < m_toolbar->count(); ++row)
        identifiers << identifierOf(m_toolbar->item(row));
    return identifiers;
}

void ToolbarCustomizationDialog::accept()
{
    const QStringList chosen = chosenItems();
    ToolbarConfiguration::save(chosen);
    QDialog::accept();
    emit itemsChosen(chosen);
}

void ToolbarCustomizationDialog::setItems(const QStringList& identifiers)
{
    m_toolbar->clear();
    for (const QString& identifier : identifiers)
        m_toolbar->addItem(makeItem(identifier));
    updateButtons();
}

void ToolbarCustomizationDialog::addSelected()
{
    const QString identifier = identifierOf(m_available->currentItem());
    if (identifier.isEmpty()
        || (ToolbarConfiguration::item(identifier) && chosenItems().contains(identifier)))
        return;
    // After the toolbar's selected item, else at the end.
    const int row = m_toolbar->currentRow() < 0 ? m_toolbar->count() : m_toolbar->currentRow() + 1;
    m_toolbar->insertItem(row, makeItem(identifier));
    m_toolbar->setCurrentRow(row);
    updateButtons();
}

void ToolbarCustomizationDialog::removeSelected()
{
    const int row = m_toolbar->currentRow();
    if (row < 0)
        return;
    delete m_toolbar->takeItem(row);
    updateButtons();
}

void ToolbarCustomizationDialog::moveSelected(int delta)
{
    const int row = m_toolbar->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= m_toolbar->count())
        return;
    m_toolbar->insertItem(target, m_toolbar->takeItem(row));
    m_toolbar->setCurrentRow(target);
    updateButtons();
}

void ToolbarCustomizationDialog::updateButtons()
{
    const QString offered = identifierOf(m_available->currentItem());
    const QStringList chosen = chosenItems();
    const int row = m_toolbar->currentRow();
    // Spaces may repeat; a command item sits in the toolbar at most once.
    m_add->setEnabled(
        !offered.isEmpty() && !(ToolbarConfiguration::item(offered) && chosen.contains(offered)));
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_toolbar->count());
    for (int i = 0; i < m_available->count(); ++i) {
        QListWidgetItem* item = m_available->item(i);
        const QString identifier = identifierOf(item);
        const bool placed = ToolbarConfiguration::item(identifier) && chosen.contains(identifier);
        item->setForeground(placed ? palette().brush(QPalette::Disabled, QPalette::Text) : palette().text());
    }
}
