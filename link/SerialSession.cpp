#include "link/SerialSession.h"

#include "link/SerialPortName.h"

#include <QFileInfo>

namespace vorn {

namespace {

// A link's target, or the file itself: what a replaced link changes.
QString targetOf(const QString& file) {
    const QFileInfo info(file);
    return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

} // namespace

SerialSession::SerialSession(QString workDir, QObject* parent)
    : QObject(parent), workDir_(std::move(workDir)) {
    connect(&link_, &SerialLink::lost, this, &SerialSession::onLinkLost);
    connect(&folder_, &QFileSystemWatcher::directoryChanged, this, &SerialSession::folderChanged);
}

SerialOpenResult SerialSession::open(const QString& portName) {
    name_ = portName;
    lost_ = false;
    location_ = resolveSerialPortName(name_, workDir_);
    const QString file = portFileInFolder(name_, workDir_);
    target_ = file.isEmpty() ? QString() : targetOf(file);
    // A COM name may get its file in the folder later: the folder is watched.
    bool comPort = false;
    for (int choice = 0; choice < 4; ++choice)
        comPort = comPort || name_ == comPortName(choice);
    if (comPort && folder_.directories().isEmpty())
        folder_.addPath(workDir_);
    return link_.open(location_);
}

void SerialSession::folderChanged() {
    const QString file = portFileInFolder(name_, workDir_);
    if (file.isEmpty())
        return; // gone from the folder: what is open stays open
    const QString target = targetOf(file);
    if (file == location_ && target == target_) {
        if (lost_)
            pollsToLook_ = 0; // back where it was: looked for at the next poll
        return;
    }
    const QString line =
        file == location_
            ? QStringLiteral("vorn: %1 in the working folder now leads to %2").arg(name_, target)
            : QStringLiteral("vorn: %1 appeared in the working folder (%2)").arg(name_, target);
    link_.close();
    location_ = file;
    target_ = target;
    lost_ = false;
    const SerialOpenResult result = link_.open(location_);
    if (result.opened()) {
        emit reopened(QStringLiteral("%1; serial port %2 is open there").arg(line, name_));
        return;
    }
    // Tried again every two seconds, as a port that went away.
    lost_ = true;
    pollsToLook_ = kRetryPolls;
    emit lost(QStringLiteral("%1, but it cannot be opened: %2").arg(line, result.reason));
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
