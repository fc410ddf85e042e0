#include "tray/AutostartEntry.h"

#include "monitor/UserSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vorn {

namespace {

// The same program as the menu's entry, in the per-user folder, so the
// monitor watches from login on without a window in the way.
constexpr char kEntry[] = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=VORN\n"
                          "GenericName=Tyre-pressure monitor\n"
                          "Comment=Watches the tyres from login on, in the tray\n"
                          "Exec=vorn --user-folder --minimized\n"
                          "Icon=vorn\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n";

} // namespace

QString autostartEntryPath() {
    const QString base = userConfigHome();
    return base.isEmpty() ? QString() : base + QStringLiteral("/autostart/vorn.desktop");
}

bool hasAutostartEntry() {
    const QString file = autostartEntryPath();
    return !file.isEmpty() && QFileInfo(file).isFile();
}

std::optional<QString> writeAutostartEntry() {
    const QString file = autostartEntryPath();
    if (file.isEmpty())
        return QStringLiteral("no folder for the autostart entry is known "
                              "($XDG_CONFIG_HOME and $HOME are unset)");
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(folder));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(kEntry, sizeof kEntry - 1) < 0 ||
        !out.commit())
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(file), out.errorString());
    return std::nullopt;
}

std::optional<QString> removeAutostartEntry() {
    const QString file = autostartEntryPath();
    QFile entry(file);
    if (file.isEmpty() || !entry.exists() || entry.remove())
        return std::nullopt;
    return QStringLiteral("cannot remove %1: %2")
        .arg(QDir::toNativeSeparators(file), entry.errorString());
}

} // namespace vorn
