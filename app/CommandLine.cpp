#include "app/CommandLine.h"

#include "history/HistorySettings.h"
#include "monitor/BuildInfo.h"

#include <QCommandLineParser>
#include <QFileInfo>
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

// --mqtt-<name> VALUE overrides the key of the [mqtt] settings section.
struct MqttOption {
    const char* name;
    const char* key;
    const char* value;
    const char* help;
};
constexpr std::array kMqttOptions{
    MqttOption{"mqtt-host", "host", "host", "Publish to the MQTT broker on <host>."},
    MqttOption{"mqtt-port", "port", "port", "Broker port (1883; 8883 with TLS)."},
    MqttOption{"mqtt-client-id", "client_id", "id", "MQTT client id (vorn-<unit>-<random>)."},
    MqttOption{"mqtt-user", "user", "name", "User name at the broker."},
    MqttOption{"mqtt-password-file", "password_file", "file",
               "File holding the password; must not be readable by others."},
    MqttOption{"mqtt-prefix", "prefix", "topic", "Topic prefix (vorn)."},
    MqttOption{"mqtt-unit", "unit", "id", "This monitor's topic level (the host name)."},
    MqttOption{"mqtt-ca", "ca_file", "file", "CA certificates; turns TLS on."},
    MqttOption{"mqtt-cert", "cert_file", "file", "Client certificate for TLS."},
    MqttOption{"mqtt-key", "key_file", "file", "Client certificate's key."},
    MqttOption{"mqtt-discovery", "discovery", "on|off", "Home Assistant discovery (on)."},
    MqttOption{"mqtt-discovery-prefix", "discovery_prefix", "topic",
               "Discovery topic prefix (homeassistant)."},
};

CommandLine exitWith(int code, QString output, QString error) {
    CommandLine result;
    result.action = CommandLine::Action::Exit;
    result.exitCode = code;
    result.output = std::move(output);
    result.error = std::move(error);
    return result;
}

struct HistoryOptions {
    QCommandLineOption file, off, days, rawDays, exportCsv, since, until, tyreReport, json;
};

// A whole number of days from `least` to a hundred years, or why not: the
// check vorn.conf's [history] days get too.
std::optional<QString> readDays(const QCommandLineParser& parser, const QCommandLineOption& option,
                                int least, std::optional<int>& days) {
    if (!parser.isSet(option))
        return std::nullopt;
    const QString text = parser.value(option);
    if (const QString why = history::daysRefusal(text, least); !why.isEmpty())
        return QStringLiteral("--%1: %2.").arg(option.names().first(), why);
    days = text.trimmed().toInt();
    return std::nullopt;
}

CommandLine readOptions(const QCommandLineParser& parser, const HistoryOptions& o,
                        const QString& program) {
    const auto fail = [&](const QString& why) {
        return exitWith(2, {}, QStringLiteral("%1: %2 See %1 --help.\n").arg(program, why));
    };
    CommandLine result;
    ProgramOptions& options = result.options;
    options.historyFile = parser.value(o.file);
    options.noHistory = parser.isSet(o.off);
    if (options.noHistory && parser.isSet(o.file))
        return fail(QStringLiteral("--history and --no-history exclude each other."));
    if (const auto why = readDays(parser, o.days, 1, options.historyDays))
        return fail(*why);
    if (const auto why =
            readDays(parser, o.rawDays, history::kLeastRawDays, options.historyRawDays))
        return fail(*why);
    options.exportCsv = parser.value(o.exportCsv);
    if (parser.isSet(o.exportCsv) && options.exportCsv.isEmpty())
        return fail(QStringLiteral("--export-csv needs a file name."));
    options.since = parser.value(o.since);
    options.until = parser.value(o.until);
    options.tyreReport = parser.isSet(o.tyreReport);
    options.json = parser.isSet(o.json);
    if (options.tyreReport && !options.exportCsv.isEmpty())
        return fail(QStringLiteral("--tyre-report and --export-csv exclude each other."));
    if (parser.isSet(o.until) && options.exportCsv.isEmpty() && !options.tyreReport)
        return fail(QStringLiteral("--until goes with --export-csv or --tyre-report."));
    if (parser.isSet(o.since) && options.exportCsv.isEmpty())
        return fail(QStringLiteral("--since goes with --export-csv."));
    if (options.json && !options.tyreReport)
        return fail(QStringLiteral("--json goes with --tyre-report."));
    if (options.noHistory && (!options.exportCsv.isEmpty() || options.tyreReport))
        return fail(QStringLiteral("%1 reads the history; --no-history turns it off.")
                        .arg(options.tyreReport ? "--tyre-report" : "--export-csv"));
    return result;
}

} // namespace

QMap<QString, QString> commandLineNotes(const ProgramOptions& options) {
    QMap<QString, QString> notes;
    for (const MqttOption& o : kMqttOptions)
        if (const QString key = QString::fromLatin1(o.key); options.mqtt.contains(key))
            notes.insert(QStringLiteral("mqtt/") + key,
                         QStringLiteral("--%1 %2").arg(o.name, options.mqtt.value(key)));
    const QString file = QStringLiteral("--history ") + options.historyFile;
    if (options.noHistory)
        notes.insert(QStringLiteral("history/enabled"), QStringLiteral("--no-history"));
    else if (!options.historyFile.isEmpty())
        notes.insert(QStringLiteral("history/enabled"), file);
    if (!options.historyFile.isEmpty())
        notes.insert(QStringLiteral("history/file"), file);
    if (options.historyDays)
        notes.insert(QStringLiteral("history/days"),
                     QStringLiteral("--history-days %1").arg(*options.historyDays));
    if (options.historyRawDays)
        notes.insert(QStringLiteral("history/raw_days"),
                     QStringLiteral("--history-raw-days %1").arg(*options.historyRawDays));
    if (!options.notify)
        notes.insert(QStringLiteral("notify/enabled"), QStringLiteral("--no-notify"));
    return notes;
}

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    // vornd is the monitor without a window; both take the same options.
    const bool daemon =
        !arguments.isEmpty() && QFileInfo(arguments.first()).fileName() == QLatin1String("vornd");
    const QString program = daemon ? QStringLiteral("vornd") : QStringLiteral("vorn");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        (daemon ? QStringLiteral("vornd: the VORN tyre-pressure monitor without a window, as a "
                                 "service; messages go to standard error.")
                : QStringLiteral("VORN: desktop companion of a tyre-pressure monitor.")) +
        QStringLiteral(" It works in the current folder, which holds setdata.txt and the COM1 to "
                       "COM4 links."));
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
    QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window (as a service): runs vornd, the monitor without Qt "
                       "Gui; messages go to standard error."));
    QCommandLineOption minimized(
        QStringLiteral("minimized"),
        QStringLiteral("Start with the window hidden in the desktop's tray (minimized when "
                       "there is no tray); the monitoring goes on."));
    if (daemon) { // what vornd always is; still taken, from vorn --headless
        headless.setFlags(QCommandLineOption::HiddenFromHelp);
        minimized.setFlags(QCommandLineOption::HiddenFromHelp); // it has no window
    }
    parser.addOptions({help, version, userFolder, noNotify, headless, minimized});
    for (const MqttOption& o : kMqttOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o.name),
                                            QString::fromLatin1(o.help),
                                            QString::fromLatin1(o.value)));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("Keep the reading history in <file> instead of history.sqlite in the "
                       "user's data folder."),
        QStringLiteral("file"));
    const QCommandLineOption noHistory(QStringLiteral("no-history"),
                                       QStringLiteral("Keep no reading history."));
    const QCommandLineOption historyDays(
        QStringLiteral("history-days"),
        QStringLiteral("Keep the minute, 10-minute and hour summaries and the events <n> days "
                       "(default 400, or [history] days in vorn.conf)."),
        QStringLiteral("n"));
    const QCommandLineOption historyRawDays(
        QStringLiteral("history-raw-days"),
        QStringLiteral("Keep every reading <n> days, at least 8 (default 30, or [history] "
                       "raw_days in vorn.conf); older ones live on in the summaries."),
        QStringLiteral("n"));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the history's readings to <file> as CSV (- for standard output) "
                       "and exit, without a display or a link."),
        QStringLiteral("file"));
    const QCommandLineOption since(
        QStringLiteral("since"),
        QStringLiteral("With --export-csv: only readings from <time> on (YYYY-MM-DD or "
                       "YYYY-MM-DDTHH:MM[:SS], local time, or with Z or +HH:MM)."),
        QStringLiteral("time"));
    const QCommandLineOption until(
        QStringLiteral("until"),
        QStringLiteral("With --export-csv: only readings up to <time>, in the same form (a "
                       "date alone: the end of that day). With --tyre-report: the tyres as "
                       "they stood at <time>."),
        QStringLiteral("time"));
    const QCommandLineOption tyreReport(
        QStringLiteral("tyre-report"),
        QStringLiteral("Print each wheel's cold pressure, leak rates and warnings from the "
                       "history, as at its newest reading, and exit, without a display or a "
                       "link."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("With --tyre-report: one JSON object."));
    parser.addOptions({history, noHistory, historyDays, historyRawDays, exportCsv, since, until,
                       tyreReport, json});

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
    CommandLine run = readOptions(parser,
                                  {history, noHistory, historyDays, historyRawDays, exportCsv,
                                   since, until, tyreReport, json},
                                  program);
    if (run.action == CommandLine::Action::Exit)
        return run;
    run.options.userFolder = parser.isSet(userFolder);
    run.options.notify = !parser.isSet(noNotify);
    run.options.headless = daemon || parser.isSet(headless);
    run.options.minimized = parser.isSet(minimized);
    for (const MqttOption& o : kMqttOptions)
        if (parser.isSet(QString::fromLatin1(o.name)))
            run.options.mqtt.insert(QString::fromLatin1(o.key),
                                    parser.value(QString::fromLatin1(o.name)));
    return run;
}

} // namespace vorn
