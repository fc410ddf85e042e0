#pragma once

#include "insight/TyreInsight.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace vorn {

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

// Replays the readings of the history file up to `until` (its newest
// reading when none) through the tyre analysis. Opens the file read-only.
TyreReportResult analyseHistory(const QString& path, std::optional<insight::TimeMs> until,
                                const insight::InsightConfig& config, double lowThresholdPsi);

// A table for people, times in local time.
QString tyreReportText(const TyreReport& report);
// One JSON object: {"at": ..., "wheels": [...]}, times in UTC.
QByteArray tyreReportJson(const TyreReport& report);

} // namespace vorn
