#include "prefs/Preferences.h"

#include "history/HistorySettings.h"
#include "insight/InsightSettings.h"
#include "publish/MqttSettings.h"

#include <QStringList>

namespace vorn::prefs {

namespace {

// Every field the dialog knows; an on/off one has its default beside it.
struct Known {
    QString name;
    std::optional<bool> onOffDefault;
};

QList<Known> knownFields() {
    QList<Known> all{{field::Wheels, {}},
                     {field::HistoryEnabled, true},
                     {field::HistoryFile, {}},
                     {field::HistoryDays, {}},
                     {field::HistoryRawDays, {}},
                     {field::NotifyEnabled, true},
                     {field::insight(insight::key::Enabled), true}};
    for (const QString& k : {insight::key::SlowLeak, insight::key::RapidLoss, insight::key::Silent})
        all.push_back({field::insight(k), {}});
    for (const QString& k : mqtt::kAllKeys)
        all.push_back(
            {field::mqtt(k), k == mqtt::key::Discovery ? std::optional(true) : std::nullopt});
    return all;
}

// INI lists (a value with commas) come back joined, as they were written.
QString textOf(QSettings& file, const QString& name) {
    return file.value(name).toStringList().join(u',').trimmed();
}

bool switchOf(QSettings& file, const QString& name) {
    return onOff(textOf(file, name)).value_or(true);
}

} // namespace

QString field::mqtt(const QString& key) {
    return QStringLiteral("mqtt/") + key;
}

QString field::insight(const QString& key) {
    return QStringLiteral("insight/") + key;
}

std::optional<bool> onOff(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("on") || t == QLatin1String("true") || t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("off") || t == QLatin1String("false") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

bool historyWanted(QSettings& file) {
    return switchOf(file, field::HistoryEnabled);
}

QString historyFile(QSettings& file) {
    return textOf(file, field::HistoryFile);
}

bool notificationsWanted(QSettings& file) {
    return switchOf(file, field::NotifyEnabled);
}

Preferences Preferences::load(QSettings& file) {
    Preferences p;
    for (const Known& f : knownFields())
        p.values_.insert(f.name, textOf(file, f.name));
    p.loaded_ = p.values_;
    return p;
}

bool Preferences::on(const QString& name) const {
    for (const Known& f : knownFields())
        if (f.name == name)
            return onOff(text(name)).value_or(f.onOffDefault.value_or(false));
    return false;
}

void Preferences::setOn(const QString& name, bool on) {
    // A value already meaning the same stays as the user wrote it.
    if (onOff(text(name)) != on)
        values_[name] = on ? QStringLiteral("on") : QStringLiteral("off");
}

QMap<QString, QString> Preferences::section(const QString& name) const {
    QMap<QString, QString> values;
    const QString start = name + u'/';
    for (auto it = values_.begin(); it != values_.end(); ++it)
        if (it.key().startsWith(start) && !it.value().isEmpty())
            values.insert(it.key().mid(start.size()), it.value());
    return values;
}

QMap<QString, QString> Preferences::check(const QString& hostName) const {
    QMap<QString, QString> refused;
    QMap<QString, QString> broker = section(QStringLiteral("mqtt"));
    // Without a broker nothing is used, but what is kept for later is
    // checked all the same, so it never fails only once a host is named.
    if (!broker.contains(mqtt::key::Host))
        broker.insert(mqtt::key::Host, QStringLiteral("localhost"));
    if (const mqtt::LoadResult r = mqtt::checkSettings(broker, hostName); !r.error.isEmpty())
        refused.insert(field::mqtt(r.errorKey), r.error);
    const auto add = [&refused](const QString& section, const QMap<QString, QString>& some) {
        for (auto it = some.begin(); it != some.end(); ++it)
            refused.insert(section + u'/' + it.key(), it.value());
    };
    add(QStringLiteral("history"),
        history::checkRetention(section(QStringLiteral("history"))).refused);
    add(QStringLiteral("insight"),
        insight::checkInsightSettings(section(QStringLiteral("insight"))).refused);
    return refused;
}

void Preferences::save(QSettings& file) const {
    for (auto it = values_.begin(); it != values_.end(); ++it) {
        if (it.value() == loaded_.value(it.key()))
            continue;
        if (it.value().isEmpty())
            file.remove(it.key());
        else
            file.setValue(it.key(), it.value());
    }
    file.sync();
}

} // namespace vorn::prefs
