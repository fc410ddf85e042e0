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

struct HistoryOptions {
    QCommandLineOption file, off, days, exportCsv, since, until;
};

// A whole number of days a person might mean: one day to a hundred years.
constexpr int kMaxHistoryDays = 36500;

CommandLine readOptions(const QCommandLineParser& parser, const HistoryOptions& o) {
    const QString program = QStringLiteral("vorn");
    const auto fail = [&](const QString& why) {
        return exitWith(2, {}, QStringLiteral("%1: %2 See %1 --help.\n").arg(program, why));
    };
    CommandLine result;
    ProgramOptions& options = result.options;
    options.historyFile = parser.value(o.file);
    options.noHistory = parser.isSet(o.off);
    if (options.noHistory && parser.isSet(o.file))
        return fail(QStringLiteral("--history and --no-history exclude each other."));
    if (parser.isSet(o.days)) {
        bool ok = false;
        options.historyDays = parser.value(o.days).toInt(&ok);
        if (!ok || options.historyDays < 1 || options.historyDays > kMaxHistoryDays)
            return fail(QStringLiteral("--history-days takes a whole number from 1 to %1, not "
                                       "'%2'.")
                            .arg(kMaxHistoryDays)
                            .arg(parser.value(o.days)));
    }
    options.exportCsv = parser.value(o.exportCsv);
    if (parser.isSet(o.exportCsv) && options.exportCsv.isEmpty())
        return fail(QStringLiteral("--export-csv needs a file name."));
    options.since = parser.value(o.since);
    options.until = parser.value(o.until);
    if ((parser.isSet(o.since) || parser.isSet(o.until)) && options.exportCsv.isEmpty())
        return fail(QStringLiteral("--since and --until go with --export-csv."));
    if (options.noHistory && !options.exportCsv.isEmpty())
        return fail(QStringLiteral("--export-csv reads the history; --no-history turns it off."));
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
    parser.addOptions({help, version});
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("Keep the reading history in <file> instead of history.sqlite in the "
                       "user's data folder."),
        QStringLiteral("file"));
    const QCommandLineOption noHistory(QStringLiteral("no-history"),
                                       QStringLiteral("Keep no reading history."));
    const QCommandLineOption historyDays(
        QStringLiteral("history-days"),
        QStringLiteral("Remove readings older than <n> days (default 400)."), QStringLiteral("n"));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the history's readings to <file> as CSV and exit, without a "
                       "display or a link."),
        QStringLiteral("file"));
    const QCommandLineOption since(
        QStringLiteral("since"),
        QStringLiteral("With --export-csv: only readings from <time> on (YYYY-MM-DD or "
                       "YYYY-MM-DDTHH:MM[:SS], local time, or with Z or +HH:MM)."),
        QStringLiteral("time"));
    const QCommandLineOption until(
        QStringLiteral("until"),
        QStringLiteral("With --export-csv: only readings up to <time>, in the same form."),
        QStringLiteral("time"));
    parser.addOptions({history, noHistory, historyDays, exportCsv, since, until});

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
    return readOptions(parser, {history, noHistory, historyDays, exportCsv, since, until});
}

} // namespace vorn
