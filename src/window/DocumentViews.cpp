// SPDX-License-Identifier: MIT
// The views of a document window: the main view and the progress view, the status bar
// and its texts, the window title and the outline's icons.
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"
#include "model/TreeQueries.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "platform/gui/IconProvider.h"
#include "widgets/BarCellView.h"
#include "widgets/CellPaint.h"
#include "widgets/ElidingLabel.h"
#include "widgets/EnglishPlurals.h"
#include "widgets/Fmt.h"
#include "widgets/NameCellView.h"
#include "widgets/SwatchCellView.h"
#include "widgets/TextCellView.h"
#include "window/AgeLegendView.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/FindPanel.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/ProgressSpinner.h"
#include "window/UnreadableFoldersWindow.h"

#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

constexpr int kRowHeight = 22;
// What the name column gets at least when the window first shows.
constexpr int kNameRoom = 200;

struct ColumnSpec {
    int width;
    int minimum;
};
// Files is wider than the 64 points a narrower system font needs: DejaVu writes
// "1,000,000" in about 62 pixels.
constexpr ColumnSpec kOutlineColumns[]
    = { { 210, 120 }, { 72, 56 }, { 78, 50 }, { 74, 40 }, { 110, 50 }, { 120, 60 } };
constexpr int kKindsWidths[] = { 22, 220, 80, 70 };

// At most this many unreadable folders are listed; the count says how many there are.
constexpr std::size_t kUnreadableListLimit = 10000;

void styleTable(QAbstractItemView* view)
{
    view->setAlternatingRowColors(true);
    view->setFrameShape(QFrame::NoFrame);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

} // namespace

void DocumentWindowController::buildMainView()
{
    QPointer<DocumentWindowController> self(this);

    // Outline
    m_outlineModel = new FileOutlineModel(*m_disk, this);
    m_disk->setObserver(m_outlineModel);
    m_outlineModel->iconProvider = [this](const FileNode* node) { return icon(node); };
    m_outlineView = new FileOutlineView;
    m_outlineView->setObjectName(QStringLiteral("outline"));
    m_outlineView->setAccessibleName(tr("Files and folders"));
    m_outlineView->setAccessibleDescription(tr("The items of the scanned folder, largest first"));
    styleTable(m_outlineView);
    m_outlineView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outlineView->setUniformRowHeights(true);
    m_outlineView->setIndentation(14);
    m_outlineView->setExpandsOnDoubleClick(false);
    m_outlineView->setModel(m_outlineModel);
    m_outlineView->setItemDelegateForColumn(FileOutlineModel::Name, new NameCellView(m_outlineView));
    m_outlineView->setItemDelegateForColumn(
        FileOutlineModel::Size, new TextCellView(Qt::AlignRight, true, m_outlineView));
    m_outlineView->setItemDelegateForColumn(FileOutlineModel::Percent, new BarCellView(m_outlineView));
    m_outlineView->setItemDelegateForColumn(
        FileOutlineModel::Count, new TextCellView(Qt::AlignRight, true, m_outlineView));
    m_outlineView->setItemDelegateForColumn(
        FileOutlineModel::Kind, new TextCellView(Qt::AlignLeft, false, m_outlineView));
    m_outlineView->setItemDelegateForColumn(
        FileOutlineModel::Modified, new TextCellView(Qt::AlignLeft, false, m_outlineView));
    QHeaderView* header = m_outlineView->header();
    header->setStretchLastSection(false);
    // A click on a header sorts by its column, again to reverse; size descending is the
    // stored order.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(FileOutlineModel::Size, Qt::DescendingOrder);
    m_outlineView->setSortingEnabled(true);
    header->setMinimumSectionSize(40);
    for (int c = 0; c < FileOutlineModel::ColumnCount; ++c)
        header->resizeSection(c, kOutlineColumns[c].width);
    // The name column takes what the window gains or loses; the others keep their width.
    m_outlineView->setFillColumn(FileOutlineModel::Name,
        std::max(kOutlineColumns[FileOutlineModel::Name].minimum,
            16 * m_outlineView->fontMetrics().averageCharWidth()));
    connect(header, &QHeaderView::sectionResized, this, [header](int section, int, int width) {
        const int minimum = kOutlineColumns[section].minimum;
        if (width < minimum && header->sectionResizeMode(section) == QHeaderView::Interactive)
            header->resizeSection(section, minimum);
    });
    m_outlineView->onSpace = [self] {
        if (self)
            self->toggleQuickLook();
    };
    m_outlineView->menuProvider
        = [self]() -> std::unique_ptr<QMenu> { return self ? self->contextMenu() : nullptr; };
    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &DocumentWindowController::outlineSelectionChanged);
    connect(m_outlineView, &QAbstractItemView::doubleClicked, this,
        &DocumentWindowController::outlineDoubleClicked);

    // Kinds table
    m_kindsModel = new KindsTableModel(*m_disk, this);
    m_kindsTable = new KeyTableView;
    m_kindsTable->setObjectName(QStringLiteral("kinds"));
    m_kindsTable->setAccessibleName(tr("Kinds"));
    m_kindsTable->setAccessibleDescription(
        tr("The space each kind of file takes; selecting one highlights its files in the treemap"));
    styleTable(m_kindsTable);
    m_kindsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_kindsTable->setShowGrid(false);
    m_kindsTable->verticalHeader()->hide();
    m_kindsTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_kindsTable->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_kindsTable->setWordWrap(false);
    // Tab leaves the table for the treemap instead of walking its cells.
    m_kindsTable->setTabKeyNavigation(false);
    m_kindsTable->setModel(m_kindsModel);
    m_kindsTable->setItemDelegateForColumn(KindsTableModel::Swatch, new SwatchCellView(m_kindsTable));
    m_kindsTable->setItemDelegateForColumn(
        KindsTableModel::Kind, new TextCellView(Qt::AlignLeft, false, m_kindsTable));
    m_kindsTable->setItemDelegateForColumn(
        KindsTableModel::Size, new TextCellView(Qt::AlignRight, true, m_kindsTable));
    m_kindsTable->setItemDelegateForColumn(
        KindsTableModel::Count, new TextCellView(Qt::AlignRight, true, m_kindsTable));
    QHeaderView* kindsHeader = m_kindsTable->horizontalHeader();
    kindsHeader->setSectionsClickable(true);
    kindsHeader->setSortIndicatorShown(true);
    kindsHeader->setSortIndicator(KindsTableModel::Size, Qt::DescendingOrder);
    m_kindsTable->setSortingEnabled(true);
    kindsHeader->setHighlightSections(false);
    kindsHeader->setMinimumSectionSize(22);
    for (int c = 0; c < KindsTableModel::ColumnCount; ++c)
        kindsHeader->resizeSection(c, kKindsWidths[c]);
    kindsHeader->setSectionResizeMode(KindsTableModel::Swatch, QHeaderView::Fixed);
    kindsHeader->setSectionResizeMode(KindsTableModel::Kind, QHeaderView::Stretch);
    kindsHeader->setStretchLastSection(false);
    connect(m_kindsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &DocumentWindowController::kindsSelectionChanged);
    fitColumnsToContents();

    // The find panel (while shown) above the outline above the kinds; the outline takes a
    // change of height.
    buildFindPanel();
    m_leftSplit = new QSplitter(Qt::Vertical);
    m_leftSplit->setHandleWidth(1);
    m_leftSplit->setChildrenCollapsible(false);
    m_leftSplit->addWidget(m_findPanel);
    m_leftSplit->addWidget(m_outlineView);
    m_leftSplit->addWidget(m_kindsTable);
    m_ageLegend = new AgeLegendView;
    m_ageLegend->hide();
    m_leftSplit->addWidget(m_ageLegend);
    m_leftSplit->setStretchFactor(0, 1);
    m_leftSplit->setStretchFactor(1, 1);
    m_leftSplit->setStretchFactor(2, 0);
    m_leftSplit->setStretchFactor(3, 0);

    m_treemapView = new TreemapView;
    m_treemapView->setObjectName(QStringLiteral("treemap"));
    m_treemapView->setAccessibleName(tr("Treemap"));
    m_treemapView->setAccessibleDescription(tr("Nothing selected"));
    m_treemapView->setDelegate(this);
    m_treemapView->setRenderQueue(&m_disk->renderQueue());

    // Left column beside the treemap; the treemap takes a change of width.
    m_mainSplit = new QSplitter(Qt::Horizontal);
    m_mainSplit->setHandleWidth(1);
    m_mainSplit->setChildrenCollapsible(false);
    m_mainSplit->addWidget(m_leftSplit);
    m_mainSplit->addWidget(m_treemapView);
    m_mainSplit->setStretchFactor(0, 0);
    m_mainSplit->setStretchFactor(1, 1);

    // Status bar: the status shrinks first, the summary keeps its full text.
    auto* statusBar = new QWidget;
    statusBar->setFixedHeight(26);
    auto* statusLayout = new QHBoxLayout(statusBar);
    statusLayout->setContentsMargins(10, 0, 10, 0);
    statusLayout->setSpacing(12);
    auto* status = new ElidingLabel;
    status->setObjectName(QStringLiteral("status"));
    status->setFont(CellPaint::uiFont(11));
    m_statusLabel = status;
    auto* warning = new QToolButton;
    warning->setObjectName(QStringLiteral("unreadable"));
    warning->setIcon(IconProvider::symbol(QStringLiteral("exclamationmark.triangle.fill")));
    warning->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    warning->setAutoRaise(true);
    warning->setIconSize(QSize(14, 14));
    warning->setFont(CellPaint::uiFont(11));
    warning->setToolTip(tr("Some folders could not be read. Click to see which."));
    warning->hide();
    connect(warning, &QToolButton::clicked, this, &DocumentWindowController::showUnreadableFolders);
    m_warningButton = warning;
    m_summaryLabel = new QLabel;
    m_summaryLabel->setObjectName(QStringLiteral("summary"));
    m_summaryLabel->setFont(CellPaint::uiFont(11));
    QPalette secondary = m_summaryLabel->palette();
    secondary.setColor(
        QPalette::WindowText, CellPaint::secondaryColor(secondary.color(QPalette::WindowText)));
    m_summaryLabel->setPalette(secondary);
    m_summaryLabel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    statusLayout->addWidget(m_statusLabel, 1);
    statusLayout->addWidget(launchScanButton());
    statusLayout->addWidget(m_warningButton);
    statusLayout->addWidget(m_summaryLabel);

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Plain);
    separator->setFixedHeight(1);
    separator->setForegroundRole(QPalette::Mid);

    m_mainView = new QWidget;
    auto* mainLayout = new QVBoxLayout(m_mainView);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(m_mainSplit, 1);
    mainLayout->addWidget(separator);
    mainLayout->addWidget(statusBar);
}

void DocumentWindowController::showProgressView()
{
    auto* container = new QWidget;
    auto* outer = new QVBoxLayout(container);
    outer->addStretch(1);
    auto* stack = new QVBoxLayout;
    stack->setSpacing(10);
    stack->setAlignment(Qt::AlignHCenter);

    auto* spinner = new ProgressSpinner;
    spinner->setAccessibleName(m_loading ? tr("Opening") : tr("Scanning"));
    auto* title
        = new QLabel((m_loading ? tr("Opening “%1”…") : tr("Scanning “%1”…")).arg(m_disk->displayName()));
    title->setFont(CellPaint::uiFont(17, QFont::DemiBold));
    title->setAlignment(Qt::AlignHCenter);
    auto* count = new QLabel(QStringLiteral(" "));
    count->setObjectName(QStringLiteral("progressCount"));
    count->setFont(CellPaint::uiFont(13));
    count->setAlignment(Qt::AlignHCenter);
    auto* path = new ElidingLabel;
    path->setObjectName(QStringLiteral("progressPath"));
    path->setText(QStringLiteral(" "));
    path->setFont(CellPaint::uiFont(11));
    path->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    path->setFixedWidth(560);
    QPalette secondary = path->palette();
    secondary.setColor(
        QPalette::WindowText, CellPaint::secondaryColor(secondary.color(QPalette::WindowText)));
    path->setPalette(secondary);
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, &DocumentWindowController::cancelScan);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), container);
    connect(escape, &QShortcut::activated, cancel, &QPushButton::click);

    stack->addWidget(spinner, 0, Qt::AlignHCenter);
    stack->addWidget(title, 0, Qt::AlignHCenter);
    stack->addWidget(count, 0, Qt::AlignHCenter);
    stack->addWidget(path, 0, Qt::AlignHCenter);
    stack->addSpacing(10); // 20 after the path label with the stack's own 10
    stack->addWidget(cancel, 0, Qt::AlignHCenter);
    outer->addLayout(stack);
    outer->addStretch(1);

    m_progressView = container;
    m_progressCountLabel = count;
    m_progressPathLabel = path;
    // The main view stays alive while the progress view is shown.
    if (centralWidget() == m_mainView)
        takeCentralWidget();
    setCentralWidget(container);
    container->show();
    cancel->setFocus();
}

void DocumentWindowController::showUnavailableView(const QString& reason)
{
    auto* container = new QWidget;
    container->setObjectName(QStringLiteral("unavailable"));
    auto* layout = new QVBoxLayout(container);
    layout->setSpacing(10);
    layout->addStretch(1);
    auto* title = new QLabel(reason);
    title->setFont(CellPaint::uiFont(17, QFont::DemiBold));
    auto* path = new QLabel(DisplayName::decode(m_disk->path()));
    path->setFont(CellPaint::uiFont(11));
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette secondary = path->palette();
    secondary.setColor(
        QPalette::WindowText, CellPaint::secondaryColor(secondary.color(QPalette::WindowText)));
    path->setPalette(secondary);
    for (QLabel* label : { title, path }) {
        label->setAlignment(Qt::AlignHCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    container->setAccessibleName(reason);
    setCentralWidget(container);
}

void DocumentWindowController::showMainView()
{
    if (centralWidget() == m_mainView)
        return;
    const QSize size = centralWidget() ? centralWidget()->size() : this->size();
    // setCentralWidget deletes the progress view it replaces.
    setCentralWidget(m_mainView);
    m_mainView->show(); // a widget given to a visible window stays hidden until shown
    m_mainView->resize(size);
    m_mainView->layout()->activate();
    orderFocus();
    // Dividers are placed once; after a rescan they stay where the user left them.
    if (!std::exchange(m_dividersPlaced, true)) {
        const int width = m_mainSplit->width();
        // Room for the columns at their widths and a readable name, within reason.
        const QHeaderView* header = m_outlineView->header();
        const int columns = header->length() - header->sectionSize(FileOutlineModel::Name) + kNameRoom
            + m_outlineView->verticalScrollBar()->sizeHint().width();
        const int left
            = std::clamp(std::max(int(0.45 * width), columns), 400, std::max(400, int(0.6 * width)));
        m_mainSplit->setSizes({ left, std::max(0, width - left - m_mainSplit->handleWidth()) });
        // In a narrow window the kind column gives way before the names do.
        if (const int missing = columns - left; missing > 0) {
            const int kind = header->sectionSize(FileOutlineModel::Kind);
            m_outlineView->header()->resizeSection(FileOutlineModel::Kind,
                std::max(kOutlineColumns[FileOutlineModel::Kind].width, kind - missing));
        }
        const int height = m_leftSplit->height();
        const int top = int(0.68 * height);
        m_leftSplit->setSizes({ 0, top, std::max(0, height - top - m_leftSplit->handleWidth()) });
        restoreDividers();
    }
    m_progressView = nullptr;
    m_progressCountLabel = nullptr;
    m_progressPathLabel = nullptr;
    m_outlineView->setFocus();
}

void DocumentWindowController::setColorByAge(bool on)
{
    // The kinds table's highlight is of kind colours, which the treemap no longer shows.
    if (on)
        m_kindsTable->clearSelection();
    m_treemapView->setColorByAge(on);
    // The legend takes the kinds table's place and height, and gives them back.
    QList<int> sizes = m_leftSplit->sizes();
    const int height = std::max({ sizes[2], sizes[3], m_ageLegend->sizeHint().height() });
    m_kindsTable->setVisible(!on);
    m_ageLegend->setVisible(on);
    sizes[2] = on ? 0 : height;
    sizes[3] = on ? height : 0;
    m_leftSplit->setSizes(sizes);
    emit commandStateChanged();
}

// ---------------------------------------------------------------------------------
// Status bar and title

void DocumentWindowController::updateSummary()
{
    const FileNode* root = m_disk->root();
    if (!root)
        return;
    QString totals = tr("%1 files · %2", nullptr, EnglishPlurals::numerus(root->fileCount))
                         .arg(Fmt::count(root->fileCount), Fmt::bytes(m_disk->scannedBytes()));
    if (m_disk->showsApparentSizes())
        totals += tr(" · apparent sizes");
    const QString seconds = QString::asprintf("%.1f", m_disk->scanDuration);
    if (const std::optional<SavedScanOrigin>& origin = m_disk->savedOrigin) {
        QString text = tr("%1 · saved scan %2 · read in %3 s").arg(totals, savedScanSource(*origin), seconds);
        QString tip;
        if (origin->hardLinksMayCountTwice) {
            text += tr(" · hard links may be counted twice");
            tip = tr("The file does not mark every link of a hard-linked file, so such a file may be "
                     "counted once per link.");
        }
        m_summaryLabel->setText(text);
        m_summaryLabel->setToolTip(tip);
    } else {
        m_summaryLabel->setText(tr("%1 · scanned in %2 s").arg(totals, seconds));
        m_summaryLabel->setToolTip(QString());
    }
    const std::int64_t unreadable = m_disk->unreadableCount;
    if (unreadable >= 1)
        m_warningButton->setText(tr("%1 unreadable").arg(Fmt::count(unreadable)));
    m_warningButton->setVisible(unreadable >= 1);
}

void DocumentWindowController::updateStatus(FileNode* node)
{
    if (node) {
        m_statusLabel->setText(describe(node));
        return;
    }
    const std::vector<FileNode*> selected = selectedNodes();
    m_statusLabel->setText(selected.empty() ? QString() : describe(selected.back()));
}

QString DocumentWindowController::describe(const FileNode* node) const
{
    static const QString kDash = QStringLiteral(" — ");
    static const QString kDot = QStringLiteral(" · ");
    if (node->flags.contains(NodeFlags::Pseudo))
        return DisplayName::decode(node->name()) + kDash + Fmt::bytes(node->size);
    QString text = DisplayName::decode(node->path()) + kDash + Fmt::bytes(node->size);
    if (node->isDirectory())
        text += kDot
            + tr("%1 files", nullptr, EnglishPlurals::numerus(node->fileCount))
                  .arg(Fmt::count(node->fileCount));
    else if (node->logicalSize != node->size)
        text += (m_disk->showsApparentSizes() ? tr(" (%1 allocated)") : tr(" (%1 logical)"))
                    .arg(Fmt::bytes(node->logicalSize));
    if (node->flags.contains(NodeFlags::Unreadable))
        text += kDot + tr("could not be read");
    return text;
}

void DocumentWindowController::updateTitle()
{
    const FileNode* zoomRoot = m_treemapView->root();
    if (!zoomRoot)
        return;
    QString title = m_disk->displayName() + QStringLiteral(" — ") + DisplayName::decode(zoomRoot->path());
    if (const std::optional<SavedScanOrigin>& origin = m_disk->savedOrigin)
        title += QStringLiteral(" — ") + tr("saved scan %1").arg(savedScanSource(*origin));
    setWindowTitle(title);
}

QString DocumentWindowController::savedScanSource(const SavedScanOrigin& origin)
{
    const QString host = origin.metadata.host.empty() ? tr("an unknown computer")
                                                      : DisplayName::decode(origin.metadata.host);
    if (!origin.metadata.timestamp)
        return tr("from %1").arg(host);
    const QDateTime when = QDateTime::fromSecsSinceEpoch(*origin.metadata.timestamp);
    return tr("from %1, %2").arg(host, QLocale().toString(when, QLocale::ShortFormat));
}

// ---------------------------------------------------------------------------------
// Icons and the list of unreadable folders

QIcon DocumentWindowController::icon(const FileNode* node)
{
    if (node->flags.contains(NodeFlags::Pseudo))
        return IconProvider::symbol(node->kind == KindRegistry::kFreeSpace
                ? QStringLiteral("circle.dashed")
                : QStringLiteral("questionmark.circle"));
    const bool package = node->flags.contains(NodeFlags::Package);
    if (!package && node->parent) {
        const auto cached = m_iconCache.constFind(node->kind);
        if (cached != m_iconCache.constEnd())
            return *cached;
        const ContentType type = m_disk->kinds()
                                     .type(node->kind)
                                     .value_or(node->isDirectory() ? TypeDatabase::folderType()
                                                                   : TypeDatabase::genericDataType());
        const QIcon icon = IconProvider::forType(type);
        m_iconCache.insert(node->kind, icon);
        return icon;
    }
    const std::optional<ContentType> type = package ? m_disk->kinds().type(node->kind) : std::nullopt;
    return IconProvider::forItem(node->path(), node->isDirectory(), type ? &*type : nullptr);
}

void DocumentWindowController::showUnreadableFolders()
{
    if (m_unreadableWindow) {
        m_unreadableWindow->raise();
        m_unreadableWindow->activateWindow();
        return;
    }
    if (isScanning())
        return;
    FileNode* root = m_disk->root();
    if (!root)
        return;
    // The walk runs on the render queue, where the tree holds still, and leaves the
    // main thread free.
    QPointer<DocumentWindowController> self(this);
    m_disk->renderQueue().async([root, self] {
        TreeQueries::UnreadableFolders found = TreeQueries::unreadableFolders(root, kUnreadableListLimit);
        Dispatch::postToMain([self, found = std::move(found)] {
            if (!self || self->m_unreadableWindow || self->m_closeHandled)
                return;
            auto* window = new UnreadableFoldersWindow(found.paths, found.total, self);
            window->setAttribute(Qt::WA_DeleteOnClose);
            self->m_unreadableWindow = window;
            window->show();
        });
    });
}
