#pragma once

#include <QSettings>
#include <memory>

namespace vorn {

// The program's own per-user settings (the view, publishing), never mixed
// into setdata.txt, which other tools and older versions read:
// ~/.config/VORN/vorn.conf on Linux.
inline std::unique_ptr<QSettings> openUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("VORN"), QStringLiteral("vorn"));
}

} // namespace vorn
