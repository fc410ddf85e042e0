// The loadable module the service program loads when there is a session bus
// to notify on: only the module carries Qt D-Bus and libdbus.
#include "notify/DbusNotices.h"

extern "C" Q_DECL_EXPORT vorn::NoticeService* vorn_make_dbus_notices() {
    return new vorn::DbusNotices();
}
