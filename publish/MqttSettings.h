#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorn::mqtt {

// Where and how to publish. Read from the [mqtt] section of the per-user
// settings, each key overridable on the command line.
struct Settings {
    QString host;
    int port = 1883;
    QString clientId;
    QString user;
    QByteArray password; // read from password_file, never stored in settings
    QString prefix = QStringLiteral("vorn");
    QString unit; // topic level naming this monitor
    QString caFile;
    QString certFile;
    QString keyFile;
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    bool tls() const { return !caFile.isEmpty(); }
};

// The keys of the [mqtt] section, as written in the settings file.
namespace key {
inline const QString Host = QStringLiteral("host");
inline const QString Port = QStringLiteral("port");
inline const QString ClientId = QStringLiteral("client_id");
inline const QString User = QStringLiteral("user");
inline const QString PasswordFile = QStringLiteral("password_file");
inline const QString Prefix = QStringLiteral("prefix");
inline const QString Unit = QStringLiteral("unit");
inline const QString CaFile = QStringLiteral("ca_file");
inline const QString CertFile = QStringLiteral("cert_file");
inline const QString KeyFile = QStringLiteral("key_file");
inline const QString Discovery = QStringLiteral("discovery");
inline const QString DiscoveryPrefix = QStringLiteral("discovery_prefix");
} // namespace key
inline const QStringList kAllKeys{
    key::Host, key::Port,   key::ClientId, key::User,    key::PasswordFile, key::Prefix,
    key::Unit, key::CaFile, key::CertFile, key::KeyFile, key::Discovery,    key::DiscoveryPrefix};

// The outcome of reading the settings: nothing to do (no host), settings
// to run with, or the reason they cannot be used. Warnings go with either.
struct LoadResult {
    std::optional<Settings> settings;
    QString error;    // "<key>: <reason>"; empty when none
    QString errorKey; // the <key> of `error`
    QStringList warnings;
};

// Reads the [mqtt] section of `file`, with `overrides` (key -> value, from
// the command line) taking the place of the file's values.
LoadResult loadSettings(QSettings& file, const QMap<QString, QString>& overrides,
                        const QString& hostName);
// The same checks on the [mqtt] values alone (key -> text); a key left out
// takes its default.
LoadResult checkSettings(const QMap<QString, QString>& values, const QString& hostName);
// The [mqtt] section of `file` as written, key -> text.
QMap<QString, QString> sectionValues(QSettings& file);

} // namespace vorn::mqtt
