#include "history/HistorySettings.h"

namespace vorn::history {

namespace {

void readDays(QSettings& file, const char* key, int least, int& days, QStringList& problems) {
    const QString name = QString::fromLatin1(key);
    // INI lists (a value with commas) come back joined, so it is named as written.
    const QString text =
        file.value(QStringLiteral("history/") + name).toStringList().join(u',').trimmed();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int read = text.toInt(&ok);
    if (ok && read >= least && read <= kMostDays)
        days = read;
    else
        problems << QStringLiteral("%1: '%2' is not a whole number from %3 to %4; using %5")
                        .arg(name, text)
                        .arg(least)
                        .arg(kMostDays)
                        .arg(days);
}

} // namespace

RetentionSettings readRetentionSettings(QSettings& file) {
    RetentionSettings s;
    readDays(file, "days", 1, s.retention.days, s.problems);
    readDays(file, "raw_days", kLeastRawDays, s.retention.rawDays, s.problems);
    return s;
}

} // namespace vorn::history
