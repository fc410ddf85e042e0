#pragma once

#include <QObject>
#include <memory>

namespace vorn {

// The operating system's device-change broadcasts, one deviceChanged() per
// event, on the thread that made the watcher: on Linux every udev event of
// the usb and hidraw subsystems, on Windows every WM_DEVICECHANGE message.
// Where no watch can be set up (no udev, a sandbox) the watcher stays
// inactive and simply never signals by itself.
class DeviceChangeWatcher : public QObject {
    Q_OBJECT
public:
    explicit DeviceChangeWatcher(QObject* parent = nullptr);
    ~DeviceChangeWatcher() override;

    bool isActive() const;

    // One broadcast, as if the system had sent it (tests, the simulated unit).
    void inject();

signals:
    void deviceChanged();

private:
    struct Source;
    std::unique_ptr<Source> source_; // null when inactive
};

} // namespace vorn
