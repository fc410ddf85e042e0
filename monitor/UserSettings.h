#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace vorn {

// The program's own per-user settings (the view, publishing), never mixed
// into setdata.txt, which other tools and older versions read:
// ~/.config/VORN/vorn.conf on Linux. Named in full, since Qt's INI format
// would otherwise call it vorn.ini.
inline std::unique_ptr<QSettings> openUserSettings() {
    return std::make_unique<QSettings>(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/VORN/vorn.conf"),
        QSettings::IniFormat);
}

} // namespace vorn
