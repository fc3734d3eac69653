// SPDX-License-Identifier: MIT
#include "app/GuiMain.h"

#include "app/AppDelegate.h"
#include "app/LaunchArguments.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string workingFolder()
{
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

} // namespace

extern "C" __attribute__((visibility("default"))) int tallyfernGuiMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tallyfern"));
    QApplication::setApplicationName(QStringLiteral("Tallyfern"));
    QApplication::setApplicationVersion(QStringLiteral(TALLYFERN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tallyfern.Tallyfern"));
    // The chooser and the document windows come and go; AppDelegate decides when to end.
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt's own texts and ours in the system's language, where a translation exists;
    // none of ours ships yet, so loading it fails quietly and English shows.
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

    // argv after QApplication took its own options out; raw bytes, so that names that
    // are not UTF-8 reach the scanner intact.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    delegate.open(LaunchArguments::folders(arguments, workingFolder()));
    delegate.applicationDidFinishLaunching();
    app.exec();
    return 0;
}
