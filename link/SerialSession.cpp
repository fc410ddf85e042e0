#include "link/SerialSession.h"

#include "link/SerialPortName.h"

#include <QFileInfo>

namespace vorn {

SerialSession::SerialSession(QString workDir, QObject* parent)
    : QObject(parent), workDir_(std::move(workDir)) {
    connect(&link_, &SerialLink::lost, this, &SerialSession::onLinkLost);
}

SerialOpenResult SerialSession::open(const QString& portName) {
    name_ = portName;
    lost_ = false;
    location_ = resolveSerialPortName(name_, workDir_);
    return link_.open(location_);
}

void SerialSession::onLinkLost(const QString& reason) {
    lost_ = true;
    pollsToLook_ = kRetryPolls;
    emit lost(QStringLiteral("vorn: serial port %1 (%2) is gone: %3; it is opened again when it "
                             "returns")
                  .arg(name_, location_, reason));
}

QByteArray SerialSession::poll() {
    if (lost_ && --pollsToLook_ <= 0)
        lookForReturn();
    return link_.poll();
}

void SerialSession::deviceChanged() {
    if (lost_)
        pollsToLook_ = 0;
}

void SerialSession::lookForReturn() {
    pollsToLook_ = kRetryPolls;
    // The same path as was lost: a link in the working folder that comes back
    // pointing at a new terminal is followed, and the system port is not
    // taken for it while the link is away.
    if (!QFileInfo::exists(location_) || !link_.open(location_).opened())
        return;
    lost_ = false;
    emit reopened(QStringLiteral("vorn: serial port %1 (%2) is open again").arg(name_, location_));
}

} // namespace vorn
