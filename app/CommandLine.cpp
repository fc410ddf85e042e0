#include "app/CommandLine.h"

#include "app/BuildInfo.h"

#include <QCommandLineParser>
#include <algorithm>
#include <array>

namespace vorn {

namespace {

// Qt's own options that take a value, and those that do not; Qt reads them
// when the application object is made.
constexpr std::array kQtValueOptions{
    "-platform",        "-display",      "-style",       "-stylesheet",         "-geometry",
    "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-platformpluginpath", "-session"};
constexpr std::array kQtFlagOptions{"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const auto is = [&a](const char* name) { return a == QLatin1String(name); };
        if (std::any_of(kQtValueOptions.begin(), kQtValueOptions.end(), is)) {
            ++i; // and its value
            continue;
        }
        if (std::none_of(kQtFlagOptions.begin(), kQtFlagOptions.end(), is))
            kept << a;
    }
    return kept;
}

CommandLine exitWith(int code, QString output, QString error) {
    CommandLine result;
    result.action = CommandLine::Action::Exit;
    result.exitCode = code;
    result.output = std::move(output);
    result.error = std::move(error);
    return result;
}

} // namespace

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("VORN: desktop companion of a tyre-pressure monitor. It works in the "
                       "current folder, which holds setdata.txt and the COM1 to COM4 links."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption userFolder(
        QStringLiteral("user-folder"),
        QStringLiteral("Work in the per-user folder (~/.local/share/VORN), made with default "
                       "settings when missing, instead of the current folder."));
    const QCommandLineOption noNotify(QStringLiteral("no-notify"),
                                      QStringLiteral("Send no desktop notifications for alarms."));
    parser.addOptions({help, version, userFolder, noNotify});

    const QString program = QStringLiteral("vorn");
    if (!parser.parse(withoutQtOptions(arguments)))
        return exitWith(2, {},
                        QStringLiteral("%1: %2 See %1 --help.\n").arg(program, parser.errorText()));
    if (parser.isSet(help))
        // Without an application object Qt cannot know the program's name.
        return exitWith(0, parser.helpText().replace(QStringLiteral("<executable_name>"), program),
                        {});
    if (parser.isSet(version))
        return exitWith(0, QStringLiteral("%1 %2\n").arg(program, QString::fromLatin1(kVersion)),
                        {});
    if (!parser.positionalArguments().isEmpty())
        return exitWith(2, {},
                        QStringLiteral("%1: Unexpected argument '%2'. See %1 --help.\n")
                            .arg(program, parser.positionalArguments().first()));
    CommandLine run;
    run.options.userFolder = parser.isSet(userFolder);
    run.options.notify = !parser.isSet(noNotify);
    return run;
}

} // namespace vorn
