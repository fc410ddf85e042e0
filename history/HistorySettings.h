#pragma once

#include "history/HistoryTypes.h"

#include <QSettings>
#include <QStringList>

namespace vorn::history {

// The [history] section of vorn.conf: `days` the summaries and events are
// kept, `raw_days` each reading is. A missing key takes its default; a value
// that cannot be used keeps the default and is named in `problems`, one line
// each.
struct RetentionSettings {
    Retention retention;
    QStringList problems;
};
RetentionSettings readRetentionSettings(QSettings& file);

} // namespace vorn::history
