// SPDX-License-Identifier: MIT
#include "platform/gui/Workspace.h"

#include <QByteArray>

QUrl Workspace::fileUrl(const std::string& path)
{
    // Unreserved characters and "/" stay, every other byte is escaped as it is.
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    return QUrl::fromEncoded("file://" + encoded, QUrl::StrictMode);
}
