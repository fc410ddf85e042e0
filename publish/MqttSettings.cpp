#include "publish/MqttSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <stdexcept>
#include <sys/stat.h>

namespace vorn::mqtt {

namespace {

constexpr qint64 kMaxPasswordBytes = 4096;
constexpr int kMaxTopicLevel = 64;

// A setting that cannot be used; its text names the key.
struct BadValue : std::runtime_error {
    BadValue(const QString& name, const QString& reason)
        : std::runtime_error((name + QStringLiteral(": ") + reason).toStdString()), key(name) {}
    QString key;
};

// A key missing from `values` takes its fallback; one given, even empty, is used.
class Source {
public:
    explicit Source(const QMap<QString, QString>& values) : values_(values) {}
    QString text(const QString& key, const QString& fallback = {}) const {
        const auto it = values_.find(key);
        return (it == values_.end() ? fallback : *it).trimmed();
    }

private:
    const QMap<QString, QString>& values_;
};

// Topics starting with '$' belong to the broker (it would drop ours), and a
// control character has no place in a topic; neither is echoed as it is.
void checkTopicText(const QString& key, const QString& value) {
    if (std::any_of(value.begin(), value.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        throw BadValue(key, QStringLiteral("holds a control character"));
    if (value.startsWith(QLatin1Char('$')))
        throw BadValue(
            key,
            QStringLiteral("'%1' starts with '$', which the broker keeps for itself").arg(value));
}

// Topic prefixes may have several levels, but no wildcards and no empty level.
QString topicPrefix(const Source& in, const QString& key, const QString& fallback) {
    const QString value = in.text(key, fallback);
    if (value.isEmpty() || value.size() > 200)
        throw BadValue(key, QStringLiteral("must be 1 to 200 characters"));
    checkTopicText(key, value);
    if (value.contains(QLatin1Char('+')) || value.contains(QLatin1Char('#')))
        throw BadValue(key, QStringLiteral("'%1' holds an MQTT wildcard").arg(value));
    if (value.split(QLatin1Char('/')).contains(QString()))
        throw BadValue(key, QStringLiteral("'%1' has an empty topic level").arg(value));
    return value;
}

// The monitor's own topic level: letters, digits, '-' and '_'. Checked by
// hand: a regular expression would load PCRE and its JIT into the service
// for two lines (most of a megabyte).
bool unitCharacter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

QString unitId(const Source& in, const QString& hostName) {
    QString value = in.text(key::Unit);
    if (value.isEmpty()) {
        value = hostName.left(kMaxTopicLevel);
        for (QChar& c : value)
            if (!unitCharacter(c))
                c = u'_';
        return value.isEmpty() ? QStringLiteral("vorn") : value;
    }
    checkTopicText(key::Unit, value);
    if (value.size() > kMaxTopicLevel || !std::all_of(value.cbegin(), value.cend(), unitCharacter))
        throw BadValue(
            key::Unit,
            QStringLiteral("'%1' must be 1 to 64 letters, digits, '-' or '_'").arg(value));
    return value;
}

int port(const Source& in, int fallback) {
    const QString text = in.text(key::Port);
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        throw BadValue(key::Port,
                       QStringLiteral("'%1' is not a port number (1 to 65535)").arg(text));
    return value;
}

bool onOff(const Source& in, const QString& key, bool fallback) {
    const QString text = in.text(key).toLower();
    if (text.isEmpty())
        return fallback;
    if (text == QLatin1String("true") || text == QLatin1String("on") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("off") ||
        text == QLatin1String("0"))
        return false;
    throw BadValue(key, QStringLiteral("'%1' is neither on nor off").arg(text));
}

QString readableFile(const Source& in, const QString& key) {
    const QString path = in.text(key);
    if (!path.isEmpty() && !QFileInfo(path).isReadable())
        throw BadValue(key, QStringLiteral("cannot read '%1'").arg(path));
    return path;
}

// Secrets must be private to their owner: anyone else who can read the
// password or the client key could connect as us.
QString privateFile(const Source& in, const QString& key) {
    const QString path = in.text(key);
    if (path.isEmpty())
        return path;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !QFileInfo(path).isReadable())
        throw BadValue(key, QStringLiteral("cannot read '%1'").arg(path));
    if ((info.st_mode & (S_IRGRP | S_IROTH)) != 0)
        throw BadValue(key, QStringLiteral("'%1' is readable by other users; refusing it "
                                           "(chmod 600 '%1')")
                                .arg(path));
    return path;
}

QByteArray password(const Source& in) {
    const QString path = privateFile(in, key::PasswordFile);
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BadValue(key::PasswordFile, QStringLiteral("cannot read '%1'").arg(path));
    QByteArray text = file.read(kMaxPasswordBytes + 1);
    if (text.size() > kMaxPasswordBytes)
        throw BadValue(key::PasswordFile, QStringLiteral("'%1' is too long").arg(path));
    if (const qsizetype end = text.indexOf('\n'); end >= 0)
        text.truncate(end);
    if (text.endsWith('\r'))
        text.chop(1);
    return text;
}

// Two copies of the program (the service and a window, say) must never share
// an id: the broker would throw each off whenever the other connects.
QString defaultClientId(const QString& unit) {
    const quint32 tag = QRandomGenerator::system()->generate();
    return QStringLiteral("vorn-%1-%2").arg(unit).arg(tag, 8, 16, QLatin1Char('0'));
}

Settings read(const Source& in, const QString& hostName) {
    Settings s;
    s.host = in.text(key::Host);
    s.caFile = readableFile(in, key::CaFile);
    s.certFile = readableFile(in, key::CertFile);
    s.keyFile = privateFile(in, key::KeyFile);
    if (s.certFile.isEmpty() != s.keyFile.isEmpty())
        throw BadValue(s.certFile.isEmpty() ? key::CertFile : key::KeyFile,
                       QStringLiteral("a client certificate needs both cert_file and key_file"));
    if (!s.certFile.isEmpty() && !s.tls())
        throw BadValue(key::CaFile, QStringLiteral("a client certificate needs ca_file (TLS)"));
    s.port = port(in, s.tls() ? 8883 : 1883);
    s.unit = unitId(in, hostName);
    s.prefix = topicPrefix(in, key::Prefix, s.prefix);
    s.discovery = onOff(in, key::Discovery, true);
    s.discoveryPrefix = topicPrefix(in, key::DiscoveryPrefix, s.discoveryPrefix);
    s.clientId = in.text(key::ClientId, defaultClientId(s.unit));
    if (s.clientId.isEmpty() || s.clientId.toUtf8().size() > 200)
        throw BadValue(key::ClientId, QStringLiteral("must be 1 to 200 bytes"));
    s.user = in.text(key::User);
    s.password = password(in);
    if (!s.password.isEmpty() && s.user.isEmpty())
        throw BadValue(key::User, QStringLiteral("a password_file needs a user"));
    return s;
}

} // namespace

QMap<QString, QString> sectionValues(QSettings& file) {
    QMap<QString, QString> values;
    for (const QString& k : kAllKeys)
        if (const QString name = QStringLiteral("mqtt/") + k; file.contains(name))
            values.insert(k, file.value(name).toString());
    return values;
}

LoadResult loadSettings(QSettings& file, const QMap<QString, QString>& overrides,
                        const QString& hostName) {
    QMap<QString, QString> values = sectionValues(file);
    values.insert(overrides);
    return checkSettings(values, hostName);
}

LoadResult checkSettings(const QMap<QString, QString>& values, const QString& hostName) {
    const Source in(values);
    LoadResult result;
    if (in.text(key::Host).isEmpty())
        return result; // publishing is off unless a broker is named
    try {
        result.settings = read(in, hostName);
    } catch (const BadValue& e) {
        result.error = QString::fromStdString(e.what());
        result.errorKey = e.key;
        return result;
    }
    if (!result.settings->password.isEmpty() && !result.settings->tls())
        result.warnings << QStringLiteral(
            "the password goes to the broker unencrypted; set ca_file to use TLS");
    return result;
}

} // namespace vorn::mqtt
