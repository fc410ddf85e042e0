#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace vorn {

// A base folder as the XDG rules read it: `value` (what $XDG_DATA_HOME or
// $XDG_CONFIG_HOME holds) when it is an absolute path, else `underHome`
// (".local/share", ".config") in `home`; an empty or relative value is
// ignored. Empty when `home` is not an absolute path either.
QString xdgBaseFolder(const QString& value, const QString& home, const QString& underHome);

// $XDG_DATA_HOME and $XDG_CONFIG_HOME read so: ~/.local/share and ~/.config
// on most systems. Empty when no such place is known.
QString userDataHome();
QString userConfigHome();

// The program's own per-user settings (the view, publishing), never mixed
// into setdata.txt, which other tools and older versions read:
// ~/.config/VORN/vorn.conf on Linux. Named in full, since Qt's INI format
// would otherwise call it vorn.ini. Qt would take a relative
// $XDG_CONFIG_HOME as it is; the XDG rules ignore it. Without a known home
// nothing is read or kept.
inline std::unique_ptr<QSettings> openUserSettings() {
    const QString base = userConfigHome();
    return std::make_unique<QSettings>(base.isEmpty() ? QString()
                                                      : base + QStringLiteral("/VORN/vorn.conf"),
                                       QSettings::IniFormat);
}

} // namespace vorn
