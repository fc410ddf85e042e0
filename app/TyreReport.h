#pragma once

#include "insight/TyreInsight.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>
#include <utility>
#include <vector>

namespace vorn {

namespace history {
class HistoryStore;
}

// Every wheel of a history as the analysis saw it at one time.
struct TyreReport {
    std::optional<insight::TimeMs> at; // none: no readings and no time asked for
    double lowThresholdPsi = 26;
    std::vector<std::pair<int, insight::WheelState>> wheels; // those that had reported
};

struct TyreReportResult {
    std::optional<TyreReport> report;
    QString error; // why the file could not be read
};

// Feeds the analysis what a program started at `at` would replay from the
// history: each wheel's last reading before the last eight days, then the
// readings of those days up to `at`, so a wheel silent for long is still
// known while months of rows are never read. False when the store fails
// or `stop` (when given) is set.
bool replayHistory(history::HistoryStore& store, insight::TyreInsight& analysis, insight::TimeMs at,
                   const std::atomic<bool>* stop = nullptr);

// The analysis of the history file as it stood at `until` (its newest
// reading when none). Opens the file read-only.
TyreReportResult analyseHistory(const QString& path, std::optional<insight::TimeMs> until,
                                const insight::InsightConfig& config, double lowThresholdPsi);

// A table for people, times in local time.
QString tyreReportText(const TyreReport& report);
// One JSON object: {"at": ..., "wheels": [...]}, times in UTC.
QByteArray tyreReportJson(const TyreReport& report);

} // namespace vorn
