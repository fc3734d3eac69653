// SPDX-License-Identifier: MIT
#include "volumes/VolumesWindowController.h"

#include "platform/DisplayName.h"
#include "platform/gui/MountWatcher.h"
#include "platform/gui/VolumeList.h"
#include "volumes/VolumeCellView.h"
#include "widgets/CellPaint.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <pwd.h>
#include <unistd.h>

static void initVolumeResources()
{
    Q_INIT_RESOURCE(volumes);
}

namespace {

QIcon themed(const char* name)
{
    return QIcon::fromTheme(
        QLatin1String(name), QIcon(QStringLiteral(":/volumes/%1.svg").arg(QLatin1String(name))));
}

QIcon iconFor(VolumeList::Kind kind)
{
    switch (kind) {
    case VolumeList::Kind::Removable:
        return themed("drive-removable-media");
    case VolumeList::Kind::Network:
        return themed("folder-remote");
    case VolumeList::Kind::Fixed:
        break;
    }
    return themed("drive-harddisk");
}

std::string loginName()
{
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return {};
}

QString bannerText()
{
    QString system = QSysInfo::prettyProductName();
    if (system.isEmpty())
        system = QStringLiteral("the system");
    return QStringLiteral(
        "For a complete scan, allow Tallyfern Full Disk Access. Without it, %1 hides some folders "
        "(Mail, Messages, Safari, other apps’ data) and they show up as Other Space.")
        .arg(system);
}

} // namespace

VolumesWindowController::VolumesWindowController()
    : VolumesWindowController(Sources {})
{
}

VolumesWindowController::VolumesWindowController(Sources sources, QWidget* parent)
    : QMainWindow(parent)
    , m_sources(std::move(sources))
{
    initVolumeResources();
    if (!m_sources.mounts)
        m_sources.mounts = &MountTable::current;
    if (m_sources.home.empty())
        m_sources.home = QFile::encodeName(QDir::homePath()).toStdString();
    if (m_sources.user.empty())
        m_sources.user = loginName();
    if (!m_sources.openUrl)
        m_sources.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    setWindowTitle(QStringLiteral("Tallyfern"));
    setMinimumSize(420, 260);
    resize(520, 400);
    buildContents();
    reload();
    setAcceptDrops(true); // a saved scan or a folder dropped here opens

    if (m_sources.watchMounts) {
        m_watcher = new MountWatcher(this);
        // Several mounts at once (a disk with partitions) rebuild the list once.
        auto* coalesce = new QTimer(this);
        coalesce->setSingleShot(true);
        coalesce->setInterval(0);
        connect(coalesce, &QTimer::timeout, this, &VolumesWindowController::reload);
        connect(m_watcher, &MountWatcher::changed, coalesce, qOverload<>(&QTimer::start));
    }
    restoreFrame();
}

VolumesWindowController::~VolumesWindowController() = default;

void VolumesWindowController::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty()
        && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void VolumesWindowController::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    event->acceptProposedAction();
    emit urlsDropped(urls);
}

void VolumesWindowController::buildContents()
{
    auto* content = new QWidget(this);
    auto* outer = new QVBoxLayout(content);
    outer->setContentsMargins(0, 0, 0, 14);
    outer->setSpacing(0);

    // The title bar has no room for a subtitle, so it heads the contents.
    m_subtitle = new QLabel(tr("Choose a volume or folder to scan"), content);
    QPalette subtitlePalette = m_subtitle->palette();
    subtitlePalette.setColor(
        QPalette::WindowText, CellPaint::secondaryColor(palette().color(QPalette::WindowText)));
    m_subtitle->setPalette(subtitlePalette);
    m_subtitle->setFont(CellPaint::uiFont(12));
    m_subtitle->setContentsMargins(16, 10, 16, 0);

    auto* stack = new QVBoxLayout;
    stack->setContentsMargins(10, 10, 10, 0);
    stack->setSpacing(6);

    m_accessBanner = new QFrame(content);
    m_accessBanner->setObjectName(QStringLiteral("accessBanner"));
    m_accessBanner->setStyleSheet(
        QStringLiteral("#accessBanner { background-color: rgba(255, 149, 0, 31); border-radius: 8px; }"));
    auto* banner = new QHBoxLayout(m_accessBanner);
    banner->setContentsMargins(14, 10, 14, 10);
    banner->setSpacing(10);
    auto* lock = new QLabel(m_accessBanner);
    lock->setPixmap(themed("lock-shield").pixmap(QSize(26, 26)));
    lock->setFixedSize(26, 26);
    auto* text = new QLabel(bannerText(), m_accessBanner);
    text->setWordWrap(true);
    text->setFont(CellPaint::uiFont(11.5));
    text->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    auto* settings = new QPushButton(tr("Open Settings…"), m_accessBanner);
    settings->setFont(CellPaint::uiFont(11));
    connect(settings, &QPushButton::clicked, this, &VolumesWindowController::openAccessSettings);
    banner->addWidget(lock, 0, Qt::AlignVCenter);
    banner->addWidget(text, 1, Qt::AlignVCenter);
    banner->addWidget(settings, 0, Qt::AlignVCenter);

    m_table = new QListWidget(content);
    m_table->setItemDelegate(new VolumeCellView(m_table));
    m_table->setFrameShape(QFrame::NoFrame);
    // Rows sit on the window itself, without a white well behind them.
    QPalette tablePalette = m_table->palette();
    tablePalette.setColor(QPalette::Base, palette().color(QPalette::Window));
    m_table->setPalette(tablePalette);
    m_table->setUniformItemSizes(true);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_table, &QListWidget::doubleClicked, this,
        [this](const QModelIndex& index) { scanSelected(index.row()); });

    stack->addWidget(m_accessBanner);
    stack->addWidget(m_table, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 12, 16, 0);
    m_openFolderButton = new QPushButton(tr("Open Folder…"), content);
    m_openFolderButton->setAutoDefault(false);
    m_scanButton = new QPushButton(tr("Scan"), content);
    m_scanButton->setDefault(true);
    connect(m_openFolderButton, &QPushButton::clicked, this, &VolumesWindowController::openFolderRequested);
    connect(m_scanButton, &QPushButton::clicked, this, [this] { scanSelected(); });
    buttons->addWidget(m_openFolderButton);
    buttons->addStretch(1);
    buttons->addWidget(m_scanButton);

    // Return scans, as the default button of the window does.
    for (const auto key : { Qt::Key_Return, Qt::Key_Enter }) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this] { scanSelected(); });
    }

    outer->addWidget(m_subtitle);
    outer->addLayout(stack, 1);
    outer->addLayout(buttons);
    setCentralWidget(content);
}

std::vector<Volume> VolumesWindowController::loadVolumes() const
{
    const VolumeList list(m_sources.user, m_sources.facts, m_sources.volumeName);
    std::vector<Volume> volumes;
    for (VolumeList::Entry& entry : list.volumes(m_sources.mounts())) {
        Volume volume;
        volume.path = std::move(entry.mountPoint);
        volume.name = std::move(entry.name);
        volume.icon = iconFor(entry.kind);
        volume.total = entry.total;
        volume.free = entry.free;
        volumes.push_back(std::move(volume));
    }
    Volume home;
    home.path = m_sources.home;
    home.name = tr("Home Folder");
    home.icon = themed("user-home");
    volumes.push_back(std::move(home));
    return volumes;
}

void VolumesWindowController::reload()
{
    updateBanner();
    const int previous = m_table->currentRow();
    m_volumes = loadVolumes();

    m_table->clear();
    for (const Volume& volume : m_volumes) {
        const VolumeCellView::Row row = VolumeCellView::configure(volume);
        auto* item = new QListWidgetItem(volume.icon, row.name);
        item->setData(VolumeCellView::DetailRole, row.detail);
        item->setData(VolumeCellView::FractionRole, row.fraction);
        item->setData(VolumeCellView::ShowsBarRole, row.showsBar);
        item->setToolTip(DisplayName::decode(volume.path));
        item->setSizeHint(QSize(0, VolumeCellView::kRowHeight));
        m_table->addItem(item);
    }
    const int row = previous >= 0 && previous < int(m_volumes.size()) ? previous : 0;
    m_table->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void VolumesWindowController::scanSelected(std::optional<int> clickedRow)
{
    const int row = clickedRow && *clickedRow >= 0 ? *clickedRow : m_table->currentRow();
    if (row < 0 || row >= int(m_volumes.size()) || !onOpen)
        return;
    onOpen(m_volumes[std::size_t(row)].path);
}

void VolumesWindowController::openAccessSettings()
{
    m_sources.openUrl(FullDiskAccessProbe::settingsUrl());
}

void VolumesWindowController::updateBanner()
{
    const FullDiskAccessProbe probe(m_sources.probeOpener);
    m_accessBanner->setVisible(probe.accessMissing());
}

void VolumesWindowController::changeEvent(QEvent* event)
{
    // Access granted in the settings shows as soon as the user comes back.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateBanner();
    QMainWindow::changeEvent(event);
}

void VolumesWindowController::closeEvent(QCloseEvent* event)
{
    saveFrame();
    event->accept();
    emit closed();
}

void VolumesWindowController::hideEvent(QHideEvent* event)
{
    saveFrame();
    QMainWindow::hideEvent(event);
}

void VolumesWindowController::saveFrame() const
{
    QSettings().setValue(QLatin1String(kFrameKey), saveGeometry());
}

void VolumesWindowController::restoreFrame()
{
    const QByteArray frame = QSettings().value(QLatin1String(kFrameKey)).toByteArray();
    if (!frame.isEmpty() && restoreGeometry(frame))
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frameRect(QPoint(), size());
        frameRect.moveCenter(screen->availableGeometry().center());
        move(frameRect.topLeft());
    }
}
