#include "history/HistorySettings.h"

namespace vorn::history {

namespace {

void readDays(const QMap<QString, QString>& values, const QString& name, int least, int& days,
              RetentionSettings& s) {
    const QString text = values.value(name).trimmed();
    if (text.isEmpty())
        return;
    if (const QString why = daysRefusal(text, least); !why.isEmpty()) {
        const QString refusal = name + QStringLiteral(": ") + why;
        s.refused.insert(name, refusal);
        s.problems << QStringLiteral("%1; using %2").arg(refusal).arg(days);
        return;
    }
    days = text.toInt();
}

} // namespace

QString daysRefusal(const QString& text, int least) {
    bool ok = false;
    const int days = text.trimmed().toInt(&ok);
    if (ok && days >= least && days <= kMostDays)
        return {};
    return QStringLiteral("'%1' is not a whole number from %2 to %3")
        .arg(text)
        .arg(least)
        .arg(kMostDays);
}

RetentionSettings readRetentionSettings(QSettings& file) {
    QMap<QString, QString> values;
    // INI lists (a value with commas) come back joined, so it is named as written.
    for (const QString& k : {key::Days, key::RawDays})
        values.insert(k, file.value(QStringLiteral("history/") + k).toStringList().join(u','));
    return checkRetention(values);
}

RetentionSettings checkRetention(const QMap<QString, QString>& values) {
    RetentionSettings s;
    readDays(values, key::Days, 1, s.retention.days, s);
    readDays(values, key::RawDays, kLeastRawDays, s.retention.rawDays, s);
    return s;
}

} // namespace vorn::history
