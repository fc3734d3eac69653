// SPDX-License-Identifier: MIT
#include "platform/gui/FullDiskAccessProbe.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

int openAndClose(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

} // namespace

FullDiskAccessProbe::FullDiskAccessProbe(Opener opener)
    : m_opener(opener ? std::move(opener) : Opener(openAndClose))
{
}

FullDiskAccessProbe::Outcome FullDiskAccessProbe::run() const
{
    const int error = m_opener(probePath());
    if (error == 0)
        return Outcome::Granted;
    if (error == EPERM || error == EACCES)
        return Outcome::Missing;
    return Outcome::Unknown;
}

const char* FullDiskAccessProbe::probePath()
{
    return "/Library/Application Support/com.apple.TCC/TCC.db";
}

QUrl FullDiskAccessProbe::settingsUrl()
{
    return QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
}
