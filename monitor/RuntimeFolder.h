#pragma once

#include <QString>
#include <optional>

namespace vorn {

// The folder of the owner's socket: $XDG_RUNTIME_DIR/vorn, or without that a
// folder of this user's under /tmp. It is made 0700 when missing; one that
// another user owns, or that others may enter, is refused (`error` says why),
// since whoever controls it could stand in for the owner.
struct RuntimeFolder {
    QString path;
    QString error;
    bool usable() const { return error.isEmpty(); }
    QString socketPath() const { return path + QStringLiteral("/monitor.sock"); }
};
RuntimeFolder monitorRuntimeFolder();

// Who owns the unit: the process that holds the lock file in the runtime
// folder. The kernel lets the lock go when the process ends, however it ends.
class OwnerLock {
public:
    OwnerLock() = default;
    ~OwnerLock();
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;

    // True when this process holds the lock now; never waits. `name` is
    // the lock file's, so one folder can hold more than one lock.
    bool tryTake(const RuntimeFolder& folder, const QString& name = QStringLiteral("owner.lock"));
    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};

} // namespace vorn
