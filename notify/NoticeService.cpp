#include "notify/NoticeService.h"

#include <QFileInfo>
#include <QObject>
#include <QTimer>

namespace vorn {

bool sessionBusFindable() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") ||
           (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"))) ||
           qEnvironmentVariableIsSet("DISPLAY");
}

void UnavailableNotices::start(QObject& receiver, Reached reached) {
    // Answered as a real attempt would be: later, on the receiver's thread.
    QTimer::singleShot(0, &receiver,
                       [reached = std::move(reached), reason = reason_] { reached(reason); });
}

} // namespace vorn
