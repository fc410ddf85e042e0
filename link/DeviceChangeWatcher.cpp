#include "link/DeviceChangeWatcher.h"

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <libudev.h>
#endif

namespace vorn {

#ifdef Q_OS_WIN

namespace {
constexpr UINT kWmDeviceChange = 0x219; // 537
} // namespace

// Sees the messages of all the program's windows before Qt handles them.
struct DeviceChangeWatcher::Source : QAbstractNativeEventFilter {
    explicit Source(DeviceChangeWatcher& watcher) : watcher_(watcher) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Source() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type == "windows_generic_MSG" &&
            static_cast<const MSG*>(message)->message == kWmDeviceChange)
            watcher_.inject();
        return false; // the window still gets it
    }

    DeviceChangeWatcher& watcher_;
};

DeviceChangeWatcher::DeviceChangeWatcher(QObject* parent) : QObject(parent) {
    if (QCoreApplication::instance())
        source_ = std::make_unique<Source>(*this);
}

#else

namespace {

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
};
struct MonitorUnref {
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
struct DeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

// Events read at one wake-up; any left wake the notifier again, so a flood
// never holds up the event loop.
constexpr int kEventsPerWake = 64;

} // namespace

struct DeviceChangeWatcher::Source {
    std::unique_ptr<udev, UdevUnref> context;
    std::unique_ptr<udev_monitor, MonitorUnref> monitor;
    std::unique_ptr<QSocketNotifier> notifier; // last: goes before the socket it watches
};

DeviceChangeWatcher::DeviceChangeWatcher(QObject* parent) : QObject(parent) {
    auto source = std::make_unique<Source>();
    source->context.reset(udev_new());
    if (!source->context)
        return;
    source->monitor.reset(udev_monitor_new_from_netlink(source->context.get(), "udev"));
    udev_monitor* monitor = source->monitor.get();
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0)
        return;
    const int fd = udev_monitor_get_fd(monitor);
    if (fd < 0)
        return;
    source->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(source->notifier.get(), &QSocketNotifier::activated, this, [this, monitor] {
        for (int i = 0; i < kEventsPerWake; ++i) {
            const std::unique_ptr<udev_device, DeviceUnref> event(
                udev_monitor_receive_device(monitor));
            if (!event)
                return;
            emit deviceChanged();
        }
    });
    source_ = std::move(source);
}

#endif

DeviceChangeWatcher::~DeviceChangeWatcher() = default;

bool DeviceChangeWatcher::isActive() const {
    return source_ != nullptr;
}

void DeviceChangeWatcher::inject() {
    emit deviceChanged();
}

} // namespace vorn
