// SPDX-License-Identifier: MIT
#include "window/UnreadableFoldersWindow.h"

#include "platform/DisplayName.h"
#include "widgets/Fmt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

UnreadableFoldersWindow::UnreadableFoldersWindow(
    const std::vector<std::string>& paths, std::size_t total, QWidget* parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
{
    setWindowTitle(tr("Unreadable Folders"));
    auto* layout = new QVBoxLayout(this);
    QString intro = tr("These folders could not be read, so their contents are not counted:");
    if (paths.size() < total)
        intro
            = QStringLiteral("%1 folders could not be read, so their contents are not counted. The first %2:")
                  .arg(Fmt::count(std::int64_t(total)), Fmt::count(std::int64_t(paths.size())));
    auto* label = new QLabel(intro, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    for (const std::string& path : paths)
        m_list->addItem(DisplayName::decode(path));
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(560, 360);
}
