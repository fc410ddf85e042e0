#include "insight/InsightSettings.h"

#include <cstdio>

namespace vorn::insight {

namespace {

// The text of a key; INI lists (a value with commas) come back joined, so
// "0,5" is named as it was written.
QString text(QSettings& file, const QString& key) {
    return file.value(QStringLiteral("insight/") + key)
        .toStringList()
        .join(QLatin1Char(','))
        .trimmed();
}

class Reader {
public:
    explicit Reader(const QMap<QString, QString>& values) : values_(values) {}

    void onOff(const QString& key, bool& value) {
        const QString t = values_.value(key).trimmed().toLower();
        if (t.isEmpty())
            return;
        if (t == QLatin1String("true") || t == QLatin1String("on") || t == QLatin1String("1"))
            value = true;
        else if (t == QLatin1String("false") || t == QLatin1String("off") ||
                 t == QLatin1String("0"))
            value = false;
        else
            bad(key, t, QStringLiteral("is neither on nor off"), value ? "on" : "off");
    }

    void number(const QString& key, double low, double high, double& value) {
        const QString t = values_.value(key).trimmed();
        if (t.isEmpty())
            return;
        bool ok = false;
        const double read = t.toDouble(&ok);
        if (ok && read >= low && read <= high) // also false for NaN
            value = read;
        else
            bad(key, t, QStringLiteral("is not a number from %1 to %2").arg(low).arg(high),
                QString::number(value));
    }

    void whole(const QString& key, int low, int high, int& value) {
        const QString t = values_.value(key).trimmed();
        if (t.isEmpty())
            return;
        bool ok = false;
        const int read = t.toInt(&ok);
        if (ok && read >= low && read <= high)
            value = read;
        else
            bad(key, t, QStringLiteral("is not a whole number from %1 to %2").arg(low).arg(high),
                QString::number(value));
    }

    QStringList problems;
    QMap<QString, QString> refused;

private:
    void bad(const QString& key, const QString& t, const QString& why, const QString& used) {
        const QString refusal = QStringLiteral("%1: '%2' %3").arg(key, t, why);
        refused.insert(key, refusal);
        problems << QStringLiteral("%1; using %2").arg(refusal, used);
    }

    const QMap<QString, QString>& values_;
};

} // namespace

InsightSettings readInsightSettings(QSettings& file) {
    QMap<QString, QString> values;
    for (const QString& k : {key::Enabled, key::SlowLeak, key::RapidLoss, key::Silent})
        values.insert(k, text(file, k));
    return checkInsightSettings(values);
}

InsightSettings checkInsightSettings(const QMap<QString, QString>& values) {
    InsightSettings s;
    Reader in(values);
    in.onOff(key::Enabled, s.config.enabled);
    in.number(key::SlowLeak, 0.05, 20, s.config.slowLeakPsiPerDay);
    in.number(key::RapidLoss, 0.5, 50, s.config.rapidLossPsi);
    in.whole(key::Silent, 1, 24 * 60, s.config.silentMinutes);
    s.problems = in.problems;
    s.refused = in.refused;
    return s;
}

InsightConfig loadInsightSettings(QSettings& file) {
    const InsightSettings s = readInsightSettings(file);
    for (const QString& problem : s.problems)
        std::fprintf(stderr, "vorn: insight: %s\n", qUtf8Printable(problem));
    return s.config;
}

} // namespace vorn::insight
