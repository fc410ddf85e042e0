#include "monitor/UserSettings.h"

#include <QDir>

namespace vorn {

QString xdgBaseFolder(const QString& value, const QString& home, const QString& underHome) {
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        return {};
    return QDir::cleanPath(home + u'/' + underHome);
}

QString userDataHome() {
    return xdgBaseFolder(qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("HOME"),
                         QStringLiteral(".local/share"));
}

QString userConfigHome() {
    return xdgBaseFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"),
                         QStringLiteral(".config"));
}

} // namespace vorn
