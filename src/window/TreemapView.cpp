// SPDX-License-Identifier: MIT
#include "window/TreemapView.h"

#include "platform/MainThread.h"
#include "platform/SerialQueue.h"
#include "treemap/Treemap.h"
#include "treemap/TreemapRenderer.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>

TreemapView::TreemapView(QWidget* parent)
    : QWidget(parent)
    , m_ownQueue(std::make_unique<SerialQueue>("Tallyfern.render.default"))
    , m_renderQueue(m_ownQueue.get())
{
    setMouseTracking(true);
    // Reached with Tab as well as by a click: the arrows move the selection here.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TreemapView::~TreemapView()
{
    cancelRender();
}

void TreemapView::setRenderQueue(SerialQueue* queue)
{
    cancelRender();
    m_renderQueue = queue ? queue : m_ownQueue.get();
}

void TreemapView::setRoot(FileNode* root)
{
    m_root = root;
    if (!root)
        m_hovered = nullptr;
    setNeedsRender();
}

void TreemapView::setColors(std::vector<RGB> colors)
{
    m_colors = std::move(colors);
    setNeedsRender();
}

void TreemapView::setShowPackageContents(bool show)
{
    m_showPackageContents = show;
    setNeedsRender();
}

void TreemapView::setHighlightKind(std::optional<std::int32_t> kind)
{
    if (kind == m_highlightKind)
        return;
    m_highlightKind = kind;
    setNeedsRender();
}

void TreemapView::setHighlightItems(std::shared_ptr<const NodeSet> items)
{
    if (items == m_highlightItems)
        return;
    m_highlightItems = std::move(items);
    setNeedsRender();
}

void TreemapView::setColorByAge(bool on)
{
    if (on == colorsByAge())
        return;
    m_ageReference = on ? std::optional<std::int64_t>(QDateTime::currentSecsSinceEpoch()) : std::nullopt;
    setNeedsRender();
}

void TreemapView::setSelection(std::vector<FileNode*> nodes)
{
    m_selection = std::move(nodes);
    update();
}

void TreemapView::cancelRender()
{
    if (m_currentToken)
        m_currentToken->cancel();
}

void TreemapView::setNeedsRender()
{
    cancelRender();
    m_hitTester.forget();
    // It may name a node that the change freed; the next move asks afresh.
    m_hovered = nullptr;
    if (m_renderScheduled)
        return;
    m_renderScheduled = true;
    // One start per turn of the event loop, however many requests it brings.
    QMetaObject::invokeMethod(this, &TreemapView::startRender, Qt::QueuedConnection);
}

void TreemapView::startRender()
{
    m_renderScheduled = false;
    if (!m_root || !isVisible() || width() < 1 || height() < 1) {
        m_image = QImage();
        update();
        return;
    }
    const double ratio = devicePixelRatioF();
    const int pixelWidth = static_cast<int>(std::lround(ratio * width()));
    const int pixelHeight = static_cast<int>(std::lround(ratio * height()));
    auto token = std::make_shared<CancelToken>();
    m_currentToken = token;

    TreemapRenderer renderer;
    renderer.colors = m_colors;
    renderer.showPackageContents = m_showPackageContents;
    renderer.highlightKind = m_highlightKind;
    renderer.highlightItems = m_highlightItems;
    renderer.ageReference = m_ageReference;
    const FileNode* root = m_root;
    QPointer<TreemapView> view(this);
    m_renderQueue->async([renderer = std::move(renderer), root, pixelWidth, pixelHeight, ratio, token, view] {
        if (token->isCancelled())
            return;
        QImage image = renderer.render(root, pixelWidth, pixelHeight, *token);
        if (image.isNull() || token->isCancelled())
            return;
        image.setDevicePixelRatio(ratio);
        Dispatch::postToMain([view, token, image = std::move(image)]() mutable {
            if (!view || token->isCancelled())
                return;
            view->m_image = std::move(image);
            view->update();
            emit view->imageDelivered();
        });
    });
}

TMRect TreemapView::bounds() const
{
    return TMRect { 0, 0, double(width()), double(height()) };
}

FileNode* TreemapView::nodeAt(QPointF point) const
{
    if (!m_root)
        return nullptr;
    return m_hitTester.hit(m_root, bounds(), point.x(), point.y(), m_showPackageContents);
}

std::vector<QRectF> TreemapView::selectionOutlines() const
{
    std::vector<QRectF> outlines;
    if (!m_root)
        return outlines;
    const std::size_t count = std::min(m_selection.size(), kMaxOutlined);
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<TMRect> r
            = Treemap::rect(m_selection[i], m_root, bounds(), m_showPackageContents);
        if (!r)
            continue;
        const QRectF box = QRectF(r->x0, r->y0, r->width(), r->height()).adjusted(1, 1, -1, -1);
        if (box.width() > 0 && box.height() > 0)
            outlines.push_back(box);
    }
    return outlines;
}

void TreemapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_image);
        // A move to a screen of another scale keeps the old image until a sharp one comes.
        if (m_root && !m_renderScheduled && m_image.devicePixelRatio() != devicePixelRatioF())
            setNeedsRender();
    }
    if (hasFocus()) {
        // The keyboard focus frame, in the colour of the selection.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    if (!m_root)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (const QRectF& box : selectionOutlines()) {
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.7f), 3));
        painter.drawRect(box);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawRect(box);
    }
}

void TreemapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setNeedsRender();
}

void TreemapView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setNeedsRender();
}

void TreemapView::mouseMoveEvent(QMouseEvent* event)
{
    FileNode* hit = nodeAt(event->position());
    if (hit == m_hovered)
        return;
    m_hovered = hit;
    if (m_delegate)
        m_delegate->updateStatus(hit);
}

void TreemapView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hovered = nullptr;
    if (m_delegate)
        m_delegate->updateStatus(nullptr);
}

void TreemapView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (FileNode* hit = nodeAt(event->position()); hit && m_delegate)
        m_delegate->select(hit);
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (FileNode* hit = nodeAt(event->position()); hit && m_delegate)
        m_delegate->didDoubleClick(hit);
}

void TreemapView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    FileNode* hit = nodeAt(event->pos());
    if (!hit || !m_delegate)
        return;
    m_delegate->select(hit);
    if (std::unique_ptr<QMenu> menu = m_delegate->contextMenu())
        menu->exec(event->globalPos());
}

FileNode* TreemapView::neighbour(Qt::Key arrow) const
{
    if (!m_root)
        return nullptr;
    const FileNode* from = m_selection.empty() ? nullptr : m_selection.back();
    const std::optional<TMRect> r
        = from ? Treemap::rect(from, m_root, bounds(), m_showPackageContents) : std::nullopt;
    if (!r)
        return nodeAt(QPointF(0.5, 0.5));
    // A point just past the block's edge, level with its middle.
    constexpr double kPast = 0.5;
    const double x = (r->x0 + r->x1) / 2;
    const double y = (r->y0 + r->y1) / 2;
    QPointF probe;
    switch (arrow) {
    case Qt::Key_Left:
        probe = { r->x0 - kPast, y };
        break;
    case Qt::Key_Right:
        probe = { r->x1 + kPast, y };
        break;
    case Qt::Key_Up:
        probe = { x, r->y0 - kPast };
        break;
    case Qt::Key_Down:
        probe = { x, r->y1 + kPast };
        break;
    default:
        return nullptr;
    }
    if (probe.x() < 0 || probe.y() < 0 || probe.x() >= width() || probe.y() >= height())
        return nullptr;
    FileNode* hit = nodeAt(probe);
    const auto depth = [](const FileNode* node) {
        int levels = 0;
        for (; node->parent; node = node->parent)
            ++levels;
        return levels;
    };
    if (hit)
        for (int extra = depth(hit) - depth(from); extra > 0; --extra)
            hit = hit->parent;
    return hit == from ? nullptr : hit;
}

void TreemapView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (key == Qt::Key_Space && event->text() == QLatin1String(" ")) {
        if (m_delegate)
            m_delegate->toggleQuickLook();
    } else if (plain
        && (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)) {
        if (FileNode* next = neighbour(Qt::Key(key)); next && m_delegate)
            m_delegate->select(next);
    } else if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (m_delegate)
            m_delegate->zoomIn();
    } else if (plain && key == Qt::Key_Backspace) {
        if (m_delegate)
            m_delegate->zoomOut();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TreemapView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void TreemapView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
