#pragma once

#include "insight/InsightConfig.h"

#include <QSettings>
#include <QStringList>

namespace vorn::insight {

// The keys of the [insight] section of vorn.conf.
namespace key {
inline const QString Enabled = QStringLiteral("enabled");
inline const QString SlowLeak = QStringLiteral("slow_leak_psi_per_day");
inline const QString RapidLoss = QStringLiteral("rapid_loss_psi");
inline const QString Silent = QStringLiteral("silent_minutes");
} // namespace key

struct InsightSettings {
    InsightConfig config;
    // One line per value that could not be used, naming its key; the
    // default stands in for it.
    QStringList problems;
    // The same, without what is used instead: key -> "<key>: '<text>' <why>".
    QMap<QString, QString> refused;
};

// Reads the [insight] section; a missing key takes its default.
InsightSettings readInsightSettings(QSettings& file);
// The same checks on the section's values alone (key -> text).
InsightSettings checkInsightSettings(const QMap<QString, QString>& values);

// As readInsightSettings, with each problem said on standard error.
InsightConfig loadInsightSettings(QSettings& file);

} // namespace vorn::insight
