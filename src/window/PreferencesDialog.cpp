// SPDX-License-Identifier: MIT
#include "window/PreferencesDialog.h"

#include "platform/DisplayName.h"
#include "widgets/CellPaint.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// What the command line adds for the window, read only: it looks like the dialog, not like
// the list to edit, and stays a few lines high, scrolling beyond.
QWidget* launchSection(const LaunchScanOptions& launch)
{
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(
        new QLabel(PreferencesDialog::tr("From the command line, for this window only (not saved):")));
    if (!launch.excludes.empty()) {
        QStringList lines;
        for (const std::string& line : launch.excludes)
            lines << DisplayName::decode(line);
        auto* given = new QPlainTextEdit(lines.join(QLatin1Char('\n')));
        given->setObjectName(QStringLiteral("launchExcludes"));
        given->setReadOnly(true);
        given->setLineWrapMode(QPlainTextEdit::NoWrap);
        QPalette flat = given->palette();
        flat.setColor(QPalette::Base, flat.color(QPalette::Window));
        given->setPalette(flat);
        const int shown = int(std::min<qsizetype>(lines.size(), 4));
        given->setFixedHeight(given->fontMetrics().lineSpacing() * shown + 4 * given->frameWidth()
            + int(given->document()->documentMargin() * 2));
        layout->addWidget(given);
    }
    if (launch.crossFileSystems)
        layout->addWidget(
            new QLabel(PreferencesDialog::tr("Other local file systems mounted inside are scanned.")));
    return section;
}

} // namespace

PreferencesDialog::PreferencesDialog(
    const ScanPreferences& preferences, const LaunchScanOptions& launch, QWidget* parent)
    : QDialog(parent)
    , m_patterns(new QPlainTextEdit)
    , m_cross(new QCheckBox(tr("Scan other local file systems mounted inside the folder")))
    , m_problem(new QLabel)
{
    setWindowTitle(tr("Preferences"));
    auto* intro
        = new QLabel(tr("Leave out of scans (one pattern a line; a pattern with a “/” matches the path "
                        "below the scanned folder, any other a name; “**” spans folders):"));
    intro->setWordWrap(true);
    m_patterns->setObjectName(QStringLiteral("excludePatterns"));
    m_patterns->setPlainText(preferences.excludes.join(QLatin1Char('\n')));
    m_patterns->setPlaceholderText(tr("For example:\nnode_modules\n*.o\nshare/doc/"));
    m_patterns->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_cross->setObjectName(QStringLiteral("crossFileSystems"));
    m_cross->setChecked(preferences.crossFileSystems);
    auto* network = new QLabel(tr("Network and system file systems are never entered. "
                                  "The preferences apply to the next scan or rescan."));
    network->setWordWrap(true);
    m_problem->setObjectName(QStringLiteral("preferencesProblem"));
    CellPaint::styleProblemLabel(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A changed list may be well formed now: the old complaint no longer stands.
    connect(m_patterns, &QPlainTextEdit::textChanged, m_problem, &QLabel::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_patterns, 1);
    layout->addWidget(m_problem);
    layout->addWidget(m_cross);
    layout->addWidget(network);
    if (!launch.empty())
        layout->addWidget(launchSection(launch));
    layout->addWidget(buttons);
    resize(520, 420);
}

ScanPreferences PreferencesDialog::preferences() const
{
    ScanPreferences out;
    for (const QString& line : m_patterns->toPlainText().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            out.excludes.append(line);
    out.crossFileSystems = m_cross->isChecked();
    return out;
}

void PreferencesDialog::accept()
{
    QString problem;
    if (!preferences().compile(problem)) {
        m_problem->setText(tr("Not saved: %1").arg(problem));
        m_problem->show();
        return;
    }
    QDialog::accept();
}
