// SPDX-License-Identifier: MIT
#include "app/LaunchArguments.h"

#include "platform/MountTable.h"
#include "scan/CliScan.h"
#include "scan/ScanReader.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

struct Option {
    const char* name;
    const char* valueName; // null: a switch
    const char* help; // null: accepted but not listed
};

// Ours: the scan options, which the windowless modes read, and the windowless modes'
// own names, which in any other form start the application (their arguments then open
// as folders).
constexpr Option kOptions[] = {
    { "exclude", "PATTERN", "Leave out entries matching PATTERN (gitignore rules; repeatable)." },
    { "exclude-from", "FILE", "Leave out entries matching the patterns in FILE." },
    { "cross-file-systems", nullptr, "Descend into other local file systems mounted inside." },
    { "scan", nullptr, nullptr },
    { "export", nullptr, nullptr },
    { "load", nullptr, nullptr },
    // The toolkit's own, which it takes out of the arguments itself.
    { "platform", "NAME", nullptr },
    { "platformpluginpath", "PATH", nullptr },
    { "platformtheme", "NAME", nullptr },
    { "plugin", "NAME", nullptr },
    { "qwindowgeometry", "GEOMETRY", nullptr },
    { "geometry", "GEOMETRY", nullptr },
    { "qwindowtitle", "TITLE", nullptr },
    { "title", "TITLE", nullptr },
    { "qwindowicon", "ICON", nullptr },
    { "icon", "ICON", nullptr },
    { "display", "DISPLAY", nullptr },
    { "name", "NAME", nullptr },
    { "visual", "VISUAL", nullptr },
    { "session", "ID", nullptr },
    { "style", "STYLE", nullptr },
    { "stylesheet", "FILE", nullptr },
    { "qmljsdebugger", "VALUE", nullptr },
    { "reverse", nullptr, nullptr },
    { "widgetcount", nullptr, nullptr },
    { "nograb", nullptr, nullptr },
    { "dograb", nullptr, nullptr },
    { "testability", nullptr, nullptr },
};

const Option* findOption(std::string_view name)
{
    for (const Option& option : kOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// "scheme://...": a URL, never a relative path (RFC 3986 scheme characters).
bool isUrl(std::string_view text)
{
    const std::size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (char c : text.substr(0, colon))
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

std::string absolute(const std::string& path, const std::string& workingFolder)
{
    const std::string joined = path.front() == '/' ? path : workingFolder + "/" + path;
    // A folder given through a symbolic link is scanned as the folder it leads to.
    char buffer[PATH_MAX];
    if (::realpath(joined.c_str(), buffer))
        return buffer;
    return MountTable::standardize(joined);
}

QString usage(const QCommandLineParser& parser)
{
    // Without an application object the parser cannot know the program's name.
    QString text
        = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tallyfern"));
    const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
    text.insert(firstLineEnd + 1,
        QStringLiteral("       tallyfern --scan PATH [scan options]\n"
                       "       tallyfern --export FILE PATH [scan options]\n"
                       "       tallyfern --load FILE\n\n"));
    return text;
}

} // namespace

namespace LaunchArguments {

Verdict check(const std::vector<std::string>& arguments)
{
    QCommandLineParser parser;
    // The toolkit's options are written with one dash (-style), ours with two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "See what fills your disks. Each FOLDER opens a window and is scanned at once, leaving "
        "out what the scan options name; without one, the volumes are listed.\n--scan prints the "
        "totals of PATH, --export also saves the scan to FILE, --load prints the totals of a saved "
        "scan; none opens a window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const Option& entry : kOptions) {
        QCommandLineOption option(QString::fromLatin1(entry.name),
            entry.help ? QString::fromLatin1(entry.help) : QString(),
            entry.valueName ? QString::fromLatin1(entry.valueName) : QString());
        if (!entry.help)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("A folder, or a file:// URL."),
        QStringLiteral("[FOLDER...]"));

    QStringList list { QStringLiteral("tallyfern") };
    for (const std::string& argument : arguments)
        list << QString::fromLocal8Bit(argument);
    if (!parser.parse(list))
        return { Verdict::Action::Refuse,
            parser.errorText().replace(QLatin1Char('\n'), QLatin1Char(' ')).toStdString() };
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return { Verdict::Action::Help, usage(parser).toStdString() };
    if (parser.isSet(version))
        return { Verdict::Action::Version, "tallyfern " TALLYFERN_VERSION "\n" };
    return {};
}

std::string pathOfFileUrl(std::string_view url)
{
    if (!startsWithNoCase(url, "file:"))
        return {};
    std::string_view rest = url.substr(5);
    // file:///path, file://localhost/path or file:/path; another host is not a local file.
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        if (startsWithNoCase(rest, "localhost/"))
            rest.remove_prefix(9);
    }
    if (rest.empty() || rest.front() != '/')
        return {};
    if (const std::size_t cut = rest.find_first_of("?#"); cut != std::string_view::npos)
        rest = rest.substr(0, cut);
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size()) {
            const int high = hexValue(rest[i + 1]);
            const int low = hexValue(rest[i + 2]);
            if (high >= 0 && low >= 0) {
                path.push_back(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        path.push_back(rest[i]);
    }
    // A NUL byte cannot be part of a path: refuse the URL rather than cut the name.
    if (path.find('\0') != std::string::npos)
        return {};
    return path;
}

bool plan(const std::vector<std::string>& arguments, const std::string& workingFolder, Launch& launch,
    std::string& error)
{
    // The scan options in the exact shape the windowless modes take them, in order; the
    // values of other options are skipped, never read as options.
    std::vector<std::string> scanArguments;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--")
            break;
        if (argument.size() < 2 || argument.front() != '-')
            continue;
        const std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
        const std::size_t equals = name.find('=');
        const std::string_view key = name.substr(0, equals);
        const Option* option = findOption(key);
        if (!option || !option->valueName) {
            if (key == "cross-file-systems")
                scanArguments.emplace_back("--cross-file-systems");
            continue;
        }
        std::string_view value;
        if (equals != std::string_view::npos)
            value = name.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        if (key == "exclude" || key == "exclude-from") {
            scanArguments.push_back("--" + std::string(key));
            scanArguments.emplace_back(value);
        }
    }
    CliScan::ScanOptions options;
    if (!CliScan::parseScanOptions(
            std::vector<std::string_view>(scanArguments.begin(), scanArguments.end()), options, error))
        return false;
    launch.folders = folders(arguments, workingFolder);
    launch.scan = { options.excludes.lines(), options.crossFileSystems };
    if (scanArguments.empty())
        return true;
    if (launch.folders.empty()) {
        error = "--exclude, --exclude-from and --cross-file-systems need a folder to scan";
        return false;
    }
    for (const std::string& folder : launch.folders) {
        if (ScanReader::isSavedScan(folder)) {
            error = folder
                + " is a saved scan: --exclude, --exclude-from and --cross-file-systems apply "
                  "only to folders that are scanned";
            return false;
        }
    }
    return true;
}

std::vector<std::string> folders(const std::vector<std::string>& arguments, const std::string& workingFolder)
{
    std::vector<std::string> out;
    bool optionsEnded = false;
    bool skipValue = false;
    for (const std::string& argument : arguments) {
        if (std::exchange(skipValue, false))
            continue;
        if (argument.empty())
            continue;
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
            // The value of an option is a pattern or a file, never a folder to open.
            std::string_view name(argument);
            name.remove_prefix(name.starts_with("--") ? 2 : 1);
            const Option* option = findOption(name.substr(0, name.find('=')));
            skipValue = option && option->valueName && name.find('=') == std::string_view::npos;
            continue;
        }
        std::string path = argument;
        if (startsWithNoCase(argument, "file:") || isUrl(argument)) {
            path = pathOfFileUrl(argument);
            if (path.empty()) {
                std::fprintf(stderr, "tallyfern: not a local folder: %s\n", argument.c_str());
                continue;
            }
        }
        out.push_back(absolute(path, workingFolder));
    }
    return out;
}

} // namespace LaunchArguments
