#include "link/SerialPortName.h"

#include <QDir>
#include <QFileInfo>
#include <array>

namespace vorn {

namespace {
constexpr std::array<const char*, 5> kPortNames{"COM1", "COM2", "COM3", "COM4", "USB"};
} // namespace

QString comPortName(int portChoice) {
    if (portChoice < 0 || portChoice >= static_cast<int>(kPortNames.size()))
        return {};
    return QString::fromLatin1(kPortNames[static_cast<std::size_t>(portChoice)]);
}

QString resolveSerialPortName(const QString& name, const QString& workDir) {
#ifdef Q_OS_WIN
    Q_UNUSED(workDir);
    return name;
#else
    if (name.isEmpty())
        return name;
    const QFileInfo local(QDir(workDir).filePath(name));
    if (local.exists() || local.isSymLink())
        return local.absoluteFilePath();
    for (int i = 0; i < 4; ++i) {
        if (name == QString::fromLatin1(kPortNames[static_cast<std::size_t>(i)]))
            return QStringLiteral("/dev/ttyS%1").arg(i);
    }
    return name;
#endif
}

QString portFileInFolder(const QString& name, const QString& workDir) {
#ifndef Q_OS_WIN
    for (std::size_t i = 0; i < 4; ++i) {
        if (name != QLatin1String(kPortNames[i]))
            continue;
        const QFileInfo local(QDir(workDir).filePath(name));
        if (local.exists() || local.isSymLink())
            return local.absoluteFilePath();
    }
#else
    Q_UNUSED(name);
    Q_UNUSED(workDir);
#endif
    return {};
}

} // namespace vorn
