#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <optional>

namespace vorn::prefs {

// The settings of vorn.conf named "section/key", as written in the file.
namespace field {
inline const QString Wheels = QStringLiteral("vehicle/wheels");
inline const QString HistoryEnabled = QStringLiteral("history/enabled");
inline const QString HistoryFile = QStringLiteral("history/file");
inline const QString HistoryDays = QStringLiteral("history/days");
inline const QString HistoryRawDays = QStringLiteral("history/raw_days");
inline const QString NotifyEnabled = QStringLiteral("notify/enabled");
QString mqtt(const QString& key);
QString insight(const QString& key);
} // namespace field

// "on", "true", "1" or "off", "false", "0", in any case; nothing otherwise.
std::optional<bool> onOff(const QString& text);

// What the wiring reads of the keys that only it and the dialog know: a
// history at all (on unless off), its file (empty: the default one), and
// desktop notifications (on unless off).
bool historyWanted(QSettings& file);
QString historyFile(QSettings& file);
bool notificationsWanted(QSettings& file);

// The preferences as the dialog edits them: every setting it knows, as
// text. Checked by the very checks the program and its command line apply
// when they read them; saved without touching keys it does not know.
class Preferences {
public:
    static Preferences load(QSettings& file);

    // The text of a field; empty when the file leaves it to its default.
    QString text(const QString& name) const { return values_.value(name); }
    void setText(const QString& name, const QString& text) { values_[name] = text.trimmed(); }
    // An on/off field; its default when the text is neither.
    bool on(const QString& name) const;
    void setOn(const QString& name, bool on);

    // Field -> the message refusing its value ("mqtt/port" -> "port: '0' is
    // not a port number (1 to 65535)"); empty when everything can be used.
    // The [mqtt] values are checked even while no broker is named. The
    // password and key files are read.
    QMap<QString, QString> check(const QString& hostName) const;
    // Writes the fields changed since load(); an emptied one is removed, so
    // its default applies.
    void save(QSettings& file) const;
    // The fields of one section that are not left to their default, key -> text.
    QMap<QString, QString> section(const QString& name) const;

private:
    QMap<QString, QString> values_;
    QMap<QString, QString> loaded_;
};

} // namespace vorn::prefs
