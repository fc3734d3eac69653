// SPDX-License-Identifier: MIT
#include "platform/Terminal.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

namespace Terminal {

bool openIn(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    QStringList words = QProcess::splitCommand(qEnvironmentVariable("TERMINAL"));
    if (words.isEmpty())
        words << QStringLiteral("x-terminal-emulator");
    // The folder by its descriptor, not by name: a name that is not UTF-8 would not
    // survive a QString, and the folder entered is the one just opened. The child,
    // which inherits the descriptor, enters it through its own /proc/self.
    const QString entry = QStringLiteral("/proc/self/fd/%1").arg(fd);
    struct stat through {
    }, opened {};
    if (::stat(QFile::encodeName(entry).constData(), &through) != 0 || ::fstat(fd, &opened) != 0
        || through.st_dev != opened.st_dev || through.st_ino != opened.st_ino) {
        ::close(fd);
        return false;
    }
    QProcess process;
    process.setProgram(words.takeFirst());
    process.setArguments(words);
    process.setWorkingDirectory(entry);
    const bool started = process.startDetached();
    ::close(fd);
    return started;
}

} // namespace Terminal
