#pragma once

#include "history/HistoryTypes.h"

#include <QMap>
#include <QSettings>
#include <QStringList>

namespace vorn::history {

// The keys of the [history] section of vorn.conf.
namespace key {
inline const QString Enabled = QStringLiteral("enabled");
inline const QString File = QStringLiteral("file");
inline const QString Days = QStringLiteral("days");
inline const QString RawDays = QStringLiteral("raw_days");
} // namespace key

// Why `text` is no whole number of days from `least` to kMostDays, as
// "'soon' is not a whole number from 1 to 36500"; empty when it is one.
QString daysRefusal(const QString& text, int least);

// The [history] section of vorn.conf: `days` the summaries and events are
// kept, `raw_days` each reading is. A missing key takes its default; a value
// that cannot be used keeps the default and is named in `problems`, one line
// each.
struct RetentionSettings {
    Retention retention;
    QStringList problems;
    // The same, without what is used instead: key -> "<key>: '<text>' <why>".
    QMap<QString, QString> refused;
};
RetentionSettings readRetentionSettings(QSettings& file);
// The same checks on the section's values alone (key -> text).
RetentionSettings checkRetention(const QMap<QString, QString>& values);

} // namespace vorn::history
