// SPDX-License-Identifier: MIT
#include "app/GuiMain.h"

#include "app/AppDelegate.h"
#include "widgets/EnglishPlurals.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// Messages of the toolkit while it connects to the display, held back: when no display
// can be reached it reports that in several lines and then aborts the process.
QStringList s_heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        s_heldMessages << qFormatLogMessage(type, context, message);
        return;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        std::fputs("tallyfern: cannot open a window: no display (DISPLAY and WAYLAND_DISPLAY are not set)\n",
            stderr);
    else
        std::fprintf(stderr, "tallyfern: cannot open a window: the display %s cannot be reached\n",
            x11 && *x11 ? x11 : wayland);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int tallyfernGuiMain(
    int argc, char** argv, const LaunchArguments::Launch& launch)
{
    const QtMessageHandler previous = qInstallMessageHandler(holdMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : std::exchange(s_heldMessages, {}))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    QApplication::setOrganizationName(QStringLiteral("Tallyfern"));
    QApplication::setApplicationName(QStringLiteral("Tallyfern"));
    QApplication::setApplicationVersion(QStringLiteral(TALLYFERN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tallyfern.Tallyfern"));
    // The chooser and the document windows come and go; AppDelegate decides when to end.
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt's own texts and ours in the system's language, where a translation exists;
    // none of ours ships yet, so loading it fails quietly and English shows, with its
    // plural forms (installed first: a translation installed later takes precedence).
    EnglishPlurals plurals;
    QApplication::installTranslator(&plurals);
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    QTranslator translator;
    if (translator.load(
            QLocale(), QStringLiteral("tallyfern"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QApplication::installTranslator(&translator);

    AppDelegate delegate;
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("org.tallyfern.Tallyfern"), QIcon(QStringLiteral(":/tallyfern/tallyfern.svg"))));

    delegate.open(launch.folders, launch.scan);
    delegate.applicationDidFinishLaunching();
    app.exec();
    return 0;
}
