#include "app/HistoryCommand.h"

#include "app/UserFolder.h"
#include "history/CsvExport.h"
#include "history/HistorySettings.h"
#include "monitor/SettingsFile.h"
#include "monitor/UserSettings.h"
#include "prefs/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <cstdio>
#include <limits>

namespace vorn {

QString defaultHistoryPath() {
    const QString folder = userFolderPath(); // no home, no history
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/history.sqlite");
}

QString historyFileFor(const ProgramOptions& options) {
    if (!options.historyFile.isEmpty())
        return options.historyFile;
    const QString chosen = prefs::historyFile(*openUserSettings());
    return chosen.isEmpty() ? defaultHistoryPath() : chosen;
}

QString historyPathFor(const ProgramOptions& options) {
    if (options.noHistory)
        return {};
    if (options.historyFile.isEmpty() && !prefs::historyWanted(*openUserSettings()))
        return {};
    return historyFileFor(options);
}

history::Retention historyRetentionFor(const ProgramOptions& options) {
    const history::RetentionSettings read = history::readRetentionSettings(*openUserSettings());
    for (const QString& problem : read.problems)
        std::fprintf(stderr, "vorn: history: %s\n", qUtf8Printable(problem));
    history::Retention retention = read.retention;
    retention.days = options.historyDays.value_or(retention.days);
    retention.rawDays = options.historyRawDays.value_or(retention.rawDays);
    return retention;
}

std::optional<history::TimeMs> parseTimeArgument(const QString& text, TimeBound bound) {
    QString iso = text.trimmed();
    if (iso.size() > 10 && iso[10] == QLatin1Char(' '))
        iso[10] = QLatin1Char('T');
    if (const QDate day = QDate::fromString(iso, Qt::ISODate);
        bound == TimeBound::End && iso.size() == 10 && day.isValid())
        return day.addDays(1).startOfDay().toMSecsSinceEpoch() - 1;
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

namespace {

// The pressure unit chosen on the settings panel; psi when setdata.txt is
// missing or unreadable, since the export must not need it.
int chosenPressureUnit(const QString& workDir) {
    try {
        const SettingsText text =
            loadSettingsFile(QDir(workDir).filePath(QString::fromLatin1(kSettingsFileName)));
        const int unit = parseSettingInteger(text.line(3));
        return unit >= 0 && unit <= 3 ? unit : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

int failWith(const QString& message) {
    std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int runCsvExportCommand(const ProgramOptions& options, const QString& workDir) {
    history::TimeMs from = 0;
    history::TimeMs to = std::numeric_limits<history::TimeMs>::max();
    for (const auto& [text, name, bound, end] :
         {std::tuple{options.since, "--since", &from, TimeBound::Start},
          std::tuple{options.until, "--until", &to, TimeBound::End}}) {
        if (text.isEmpty())
            continue;
        const auto time = parseTimeArgument(text, end);
        if (!time)
            return failWith(QStringLiteral("%1 '%2' is not a time; use %3.")
                                .arg(QLatin1String(name), text, QLatin1String(kTimeForms)));
        *bound = *time;
    }
    if (from > to)
        return failWith(
            QStringLiteral("--since %1 is after --until %2.").arg(options.since, options.until));
    const history::ExportResult result = history::exportCsv(
        historyFileFor(options), options.exportCsv, from, to, chosenPressureUnit(workDir));
    if (!result.ok)
        return failWith(result.error);
    const bool toStdout = options.exportCsv == QLatin1String("-");
    // The count goes beside the lines, never among them.
    std::fprintf(toStdout ? stderr : stdout, "vorn: %s written to %s\n",
                 qUtf8Printable(result.counts()),
                 toStdout ? "standard output" : qUtf8Printable(options.exportCsv));
    return 0;
}

} // namespace vorn
