#pragma once

#include "app/UserFolder.h"

#include <QSettings>
#include <memory>

namespace vorn {

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
