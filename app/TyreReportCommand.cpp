#include "app/TyreReportCommand.h"

#include "app/HistoryCommand.h"
#include "app/TyreReport.h"
#include "insight/InsightSettings.h"
#include "monitor/SettingsFile.h"
#include "monitor/UserSettings.h"

#include <QDir>
#include <cstdio>

namespace vorn {

namespace {

constexpr double kDefaultLowPsi = 26;

// The low-pressure threshold of the settings panel, for "reaches 26 psi";
// the default when setdata.txt is missing or unreadable, since the report
// must not need it.
double lowThresholdPsi(const QString& workDir) {
    try {
        const SettingsText text =
            loadSettingsFile(QDir(workDir).filePath(QString::fromLatin1(kSettingsFileName)));
        return parseSettingInteger(text.line(0));
    } catch (const std::exception&) {
        return kDefaultLowPsi;
    }
}

int failWith(const QString& message) {
    std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int runTyreReportCommand(const ProgramOptions& options, const QString& workDir) {
    std::optional<history::TimeMs> until;
    if (!options.until.isEmpty()) {
        until = parseTimeArgument(options.until, TimeBound::End);
        if (!until)
            return failWith(QStringLiteral("--until '%1' is not a time; use %2.")
                                .arg(options.until, QLatin1String(kTimeForms)));
    }
    const insight::InsightConfig config = insight::loadInsightSettings(*openUserSettings());
    const TyreReportResult result =
        analyseHistory(historyFileFor(options), until, config, lowThresholdPsi(workDir));
    if (!result.report)
        return failWith(result.error);
    const QByteArray out =
        options.json ? tyreReportJson(*result.report) : tyreReportText(*result.report).toUtf8();
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return 0;
}

} // namespace vorn
