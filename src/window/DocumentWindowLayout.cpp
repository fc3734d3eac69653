// SPDX-License-Identifier: MIT
// The geometry of a document window: where it opens on its screen, the widths its
// columns need for their contents in the current font, and what of its layout persists.
#include "window/DocumentWindowController.h"

#include "widgets/Fmt.h"
#include "window/FileOutlineModel.h"
#include "window/FileOutlineView.h"
#include "window/KeyTableView.h"
#include "window/KindsTableModel.h"
#include "window/WindowPlacement.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

#include <algorithm>
#include <vector>

namespace {

constexpr QSize kDesignedSize(1280, 800);
constexpr QSize kMinimumSize(720, 420);
// What a window manager adds around a window: a title bar and borders. Unknown until the
// window is shown, so reserved when the window is fitted to the screen.
constexpr QSize kDecoration(8, 36);
// The space a text cell leaves around its text, and a little air.
constexpr int kCellPadding = 6 + 8;

const char* const kFrameKey = "DocumentWindow/frame";
const char* const kMainSplitKey = "DocumentWindow/mainSplit";
const char* const kLeftSplitKey = "DocumentWindow/leftSplit";
const char* const kOutlineColumnsKey = "DocumentWindow/outlineColumns";
const char* const kKindsColumnsKey = "DocumentWindow/kindsColumns";

// The widest of the texts a column of figures can show.
QStringList widestSizes()
{
    QStringList texts;
    for (const std::int64_t bytes : { std::int64_t(999), std::int64_t(999'000), std::int64_t(999'900'000),
             std::int64_t(999'990'000'000), std::int64_t(999'990'000'000'000) })
        texts << Fmt::bytes(bytes);
    return texts;
}

int widthFor(const QHeaderView* header, int section, const QFontMetrics& metrics, const QStringList& texts)
{
    int width = header->sectionSizeHint(section);
    for (const QString& text : texts)
        width = std::max(width, metrics.horizontalAdvance(text) + kCellPadding);
    return width;
}

QVariantList widthsOf(const QHeaderView* header)
{
    QVariantList widths;
    for (int c = 0; c < header->count(); ++c)
        widths << header->sectionSize(c);
    return widths;
}

// Saved widths for the columns the user sizes; the stretching one follows the window.
void applyWidths(QHeaderView* header, const QVariantList& widths)
{
    for (int c = 0; c < std::min(header->count(), int(widths.size())); ++c) {
        const int width = widths[c].toInt();
        if (width > 0 && header->sectionResizeMode(c) == QHeaderView::Interactive)
            header->resizeSection(c, width);
    }
}

} // namespace

void DocumentWindowController::placeWindow()
{
    QSettings settings;
    const QRect saved = settings.value(QLatin1String(kFrameKey)).toRect();
    const QScreen* screen = saved.isValid() ? QGuiApplication::screenAt(saved.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), kDesignedSize);
    const QRect room(available.topLeft(), (available.size() - kDecoration).expandedTo(QSize(1, 1)));
    std::vector<QPoint> taken;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible() && qobject_cast<DocumentWindowController*>(window))
            taken.push_back(window->pos());
    const QRect frame = WindowPlacement::place(saved.isValid() ? saved.size() : kDesignedSize, room,
        saved.isValid() ? std::optional(saved.topLeft()) : std::nullopt, taken);
    setMinimumSize(kMinimumSize.boundedTo(frame.size()));
    resize(frame.size());
    move(frame.topLeft());
}

void DocumentWindowController::fitColumnsToContents()
{
    const QFontMetrics outlineMetrics(m_outlineView->font());
    QHeaderView* header = m_outlineView->header();
    const QStringList sizes = widestSizes();
    header->resizeSection(
        FileOutlineModel::Size, widthFor(header, FileOutlineModel::Size, outlineMetrics, sizes));
    header->resizeSection(FileOutlineModel::Percent,
        widthFor(header, FileOutlineModel::Percent, outlineMetrics, { QStringLiteral("100%") }));
    const QStringList counts { Fmt::count(9'999'999) };
    header->resizeSection(
        FileOutlineModel::Count, widthFor(header, FileOutlineModel::Count, outlineMetrics, counts));
    header->resizeSection(FileOutlineModel::Kind,
        widthFor(header, FileOutlineModel::Kind, outlineMetrics, { tr("Document (no extension)") }));
    // Every month (names differ in width), with wide digits, in the user's short format.
    QStringList times;
    for (int month = 1; month <= 12; ++month)
        times << QLocale().toString(
            QDateTime(QDate(2000, month, 28), QTime(20, 58, 58)), QLocale::ShortFormat);
    header->resizeSection(
        FileOutlineModel::Modified, widthFor(header, FileOutlineModel::Modified, outlineMetrics, times));

    const QFontMetrics kindsMetrics(m_kindsTable->font());
    QHeaderView* kinds = m_kindsTable->horizontalHeader();
    kinds->resizeSection(KindsTableModel::Size, widthFor(kinds, KindsTableModel::Size, kindsMetrics, sizes));
    kinds->resizeSection(
        KindsTableModel::Count, widthFor(kinds, KindsTableModel::Count, kindsMetrics, counts));

    QSettings settings;
    applyWidths(header, settings.value(QLatin1String(kOutlineColumnsKey)).toList());
    applyWidths(kinds, settings.value(QLatin1String(kKindsColumnsKey)).toList());
}

void DocumentWindowController::restoreDividers()
{
    QSettings settings;
    m_mainSplit->restoreState(settings.value(QLatin1String(kMainSplitKey)).toByteArray());
    m_leftSplit->restoreState(settings.value(QLatin1String(kLeftSplitKey)).toByteArray());
}

void DocumentWindowController::saveLayout()
{
    QSettings settings;
    if (!isMaximized() && !isFullScreen() && !isMinimized())
        settings.setValue(QLatin1String(kFrameKey), QRect(pos(), size()));
    // Dividers and columns only once the window showed them at their real sizes.
    if (!m_dividersPlaced)
        return;
    settings.setValue(QLatin1String(kMainSplitKey), m_mainSplit->saveState());
    settings.setValue(QLatin1String(kLeftSplitKey), m_leftSplit->saveState());
    settings.setValue(QLatin1String(kOutlineColumnsKey), widthsOf(m_outlineView->header()));
    settings.setValue(QLatin1String(kKindsColumnsKey), widthsOf(m_kindsTable->horizontalHeader()));
}

void DocumentWindowController::placePreviewPanel(PreviewPanel& panel) const
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect frame = WindowPlacement::beside(frameGeometry(), panel.size(),
        QRect(screen->availableGeometry().topLeft(),
            (screen->availableGeometry().size() - kDecoration).expandedTo(QSize(1, 1))));
    panel.resize(frame.size());
    panel.move(frame.topLeft());
}
