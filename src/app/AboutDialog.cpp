// SPDX-License-Identifier: MIT
#include "app/AboutDialog.h"

#include "app/Links.h"
#include "widgets/CellPaint.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QIcon AboutDialog::applicationIcon()
{
    const QIcon window = QApplication::windowIcon();
    return window.isNull() ? QIcon(QStringLiteral(":/tallyfern/tallyfern.svg")) : window;
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About Tallyfern"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 24, 36, 16);
    layout->setSpacing(6);

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(QSize(96, 96)));
    icon->setAlignment(Qt::AlignCenter);

    auto* name = new QLabel(QStringLiteral("Tallyfern"), this);
    name->setFont(CellPaint::uiFont(16, QFont::Bold));
    name->setAlignment(Qt::AlignCenter);
    name->setMinimumWidth(220);

    m_version = new QLabel(tr("Version %1").arg(Links::appVersion()), this);
    m_version->setFont(CellPaint::uiFont(11));
    m_version->setAlignment(Qt::AlignCenter);
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const QString secondary
        = CellPaint::secondaryColor(palette().color(QPalette::WindowText)).name(QColor::HexArgb);
    m_credits = new QLabel(this);
    m_credits->setTextFormat(Qt::RichText);
    m_credits->setText(QStringLiteral("<a href=\"%1\" style=\"color:%2\">%3</a>")
                           .arg(Links::website().toString(QUrl::FullyEncoded), secondary,
                               Links::website().host().toHtmlEscaped()));
    m_credits->setFont(CellPaint::uiFont(11));
    m_credits->setAlignment(Qt::AlignCenter);
    m_credits->setOpenExternalLinks(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    layout->addWidget(icon);
    layout->addSpacing(4);
    layout->addWidget(name);
    layout->addWidget(m_version);
    layout->addWidget(m_credits);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
