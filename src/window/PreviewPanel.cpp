// SPDX-License-Identifier: MIT
#include "window/PreviewPanel.h"

#include "platform/TypeDatabase.h"
#include "platform/gui/IconProvider.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Largest side an image is decoded at: enough for any screen, bounded memory for a
// photograph of hundreds of megapixels.
constexpr int kMaxDecodedSide = 4096;
constexpr int kIconSide = 128;

// Opens by bytes, so names that are not UTF-8 work too. Only regular files: opening a
// device can act on it (a tape rewinds, a watchdog arms), and a pipe would lose what
// its reader was meant to get.
std::unique_ptr<QFile> openBytes(const std::string& path)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

QIcon iconFor(const QMimeType& type, bool directory)
{
    ContentType content = directory ? TypeDatabase::folderType() : TypeDatabase::genericDataType();
    if (type.isValid() && !directory) {
        content.name = type.name();
        content.iconName = type.iconName();
        content.genericIconName = type.genericIconName();
    }
    return IconProvider::forType(content);
}

} // namespace

PreviewPanel::PreviewPanel(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Quick Look"));
    setFocusPolicy(Qt::StrongFocus);
    resize(720, 540);

    m_stack = new QStackedWidget(this);
    m_emptyLabel = new QLabel(tr("No Selection"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setEnabled(false);

    m_imageLabel = new QLabel(this);
    m_imageLabel->setAlignment(Qt::AlignCenter);
    m_imageLabel->setMinimumSize(1, 1);
    m_imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_imageLabel->installEventFilter(this);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setFocusPolicy(Qt::NoFocus); // keys belong to the panel
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* info = new QWidget(this);
    auto* infoLayout = new QVBoxLayout(info);
    m_infoIcon = new QLabel(info);
    m_infoIcon->setAlignment(Qt::AlignCenter);
    m_infoName = new QLabel(info);
    m_infoName->setAlignment(Qt::AlignCenter);
    m_infoName->setWordWrap(true);
    QFont bold = m_infoName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_infoName->setFont(bold);
    m_infoDetails = new QLabel(info);
    m_infoDetails->setAlignment(Qt::AlignCenter);
    m_infoDetails->setWordWrap(true);
    infoLayout->addStretch(1);
    infoLayout->addWidget(m_infoIcon);
    infoLayout->addWidget(m_infoName);
    infoLayout->addWidget(m_infoDetails);
    infoLayout->addStretch(1);

    m_stack->addWidget(m_emptyLabel);
    m_stack->addWidget(m_imageLabel);
    m_stack->addWidget(m_text);
    m_stack->addWidget(info);

    m_previous = new QToolButton(this);
    m_previous->setArrowType(Qt::LeftArrow);
    m_previous->setFocusPolicy(Qt::NoFocus);
    m_previous->setToolTip(tr("Previous Item"));
    m_next = new QToolButton(this);
    m_next->setArrowType(Qt::RightArrow);
    m_next->setFocusPolicy(Qt::NoFocus);
    m_next->setToolTip(tr("Next Item"));
    m_counter = new QLabel(this);
    connect(m_previous, &QToolButton::clicked, this, [this] { showItem(m_index - 1); });
    connect(m_next, &QToolButton::clicked, this, [this] { showItem(m_index + 1); });

    auto* pager = new QHBoxLayout;
    pager->addStretch(1);
    pager->addWidget(m_previous);
    pager->addWidget(m_counter);
    pager->addWidget(m_next);
    pager->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stack, 1);
    layout->addLayout(pager);
    showItem(-1);
}

void PreviewPanel::setSource(QObject* owner, ItemsProvider items, KeyHandler keys)
{
    m_owner = owner;
    m_itemsProvider = std::move(items);
    m_keyHandler = std::move(keys);
}

void PreviewPanel::clearSource(const QObject* owner)
{
    if (m_owner != owner)
        return;
    m_owner = nullptr;
    m_itemsProvider = nullptr;
    m_keyHandler = nullptr;
}

void PreviewPanel::reloadData()
{
    m_items.clear();
    // The callbacks belong to the owner: once it is gone they must not run.
    if (m_owner && m_itemsProvider)
        m_items = m_itemsProvider();
    showItem(m_items.empty() ? -1 : 0);
}

void PreviewPanel::toggle()
{
    if (isVisible()) {
        hide();
        return;
    }
    reloadData();
    show();
    raise();
    activateWindow();
    setFocus();
}

void PreviewPanel::showItem(int index)
{
    const int count = itemCount();
    if (count == 0 || index < 0) {
        m_index = -1;
        m_image = QImage();
        setWindowTitle(tr("Quick Look"));
        showPage(Page::Empty);
    } else {
        m_index = std::min(index, count - 1);
        const PreviewItem& item = m_items[static_cast<std::size_t>(m_index)];
        setWindowTitle(item.name);
        m_image = QImage();
        if (item.isDirectory) {
            showInfo(item, Page::Folder);
        } else if (auto file = openBytes(item.path)) {
            QMimeDatabase types;
            const QMimeType type = types.mimeTypeForFileNameAndData(item.name, file.get());
            file->seek(0);
            if (type.name().startsWith(QLatin1String("image/"))) {
                QImageReader reader(file.get());
                const QSize size = reader.size();
                if (size.isValid() && (size.width() > kMaxDecodedSide || size.height() > kMaxDecodedSide))
                    reader.setScaledSize(size.scaled(kMaxDecodedSide, kMaxDecodedSide, Qt::KeepAspectRatio));
                m_image = reader.read();
            }
            if (!m_image.isNull()) {
                showPage(Page::Image);
                scaleImage();
            } else if (type.inherits(QStringLiteral("text/plain"))) {
                m_text->setPlainText(QString::fromUtf8(file->read(kTextPreviewBytes)));
                showPage(Page::Text);
            } else {
                showInfo(item, Page::Other);
            }
        } else {
            showInfo(item, Page::Other);
        }
    }
    m_previous->setVisible(count > 1);
    m_next->setVisible(count > 1);
    m_counter->setVisible(count > 1);
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < count);
    m_counter->setText(tr("%1 of %2").arg(m_index + 1).arg(count));
}

void PreviewPanel::showPage(Page page)
{
    m_page = page;
    switch (page) {
    case Page::Empty:
        m_stack->setCurrentWidget(m_emptyLabel);
        break;
    case Page::Image:
        m_stack->setCurrentWidget(m_imageLabel);
        break;
    case Page::Text:
        m_stack->setCurrentWidget(m_text);
        break;
    case Page::Folder:
    case Page::Other:
        m_stack->setCurrentWidget(m_infoName->parentWidget());
        break;
    }
}

void PreviewPanel::showInfo(const PreviewItem& item, Page page)
{
    QMimeDatabase types;
    const QMimeType type = item.isDirectory
        ? types.mimeTypeForName(QStringLiteral("inode/directory"))
        : types.mimeTypeForFile(
            QFile::decodeName(QByteArray::fromStdString(item.path)), QMimeDatabase::MatchExtension);
    m_infoIcon->setPixmap(iconFor(type, item.isDirectory).pixmap(kIconSide, kIconSide));
    m_infoName->setText(item.name);
    QStringList details;
    for (const QString& part : { item.kindText, item.sizeText, item.summary })
        if (!part.isEmpty())
            details << part;
    m_infoDetails->setText(details.join(QLatin1Char('\n')));
    showPage(page);
}

void PreviewPanel::scaleImage()
{
    if (m_image.isNull())
        return;
    // Shrunk to fit, never enlarged: a small image stays sharp.
    const QSize room = m_imageLabel->size();
    QSize target = m_image.size();
    if (!room.isEmpty() && (target.width() > room.width() || target.height() > room.height()))
        target.scale(room, Qt::KeepAspectRatio);
    m_imageLabel->setPixmap(QPixmap::fromImage(target == m_image.size()
            ? m_image
            : m_image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

QString PreviewPanel::shownText() const
{
    switch (m_page) {
    case Page::Empty:
        return m_emptyLabel->text();
    case Page::Text:
        return m_text->toPlainText();
    default:
        return m_infoName->text() + QLatin1Char('\n') + m_infoDetails->text();
    }
}

QSize PreviewPanel::shownImageSize() const
{
    return m_page == Page::Image ? m_imageLabel->pixmap().size() : QSize();
}

void PreviewPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        hide();
        event->accept();
        return;
    }
    if (m_owner && m_keyHandler && m_keyHandler(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PreviewPanel::eventFilter(QObject* watched, QEvent* event)
{
    // The label's own size, settled by the layout, is the room the image has.
    if (watched == m_imageLabel && event->type() == QEvent::Resize)
        scaleImage();
    return QWidget::eventFilter(watched, event);
}
