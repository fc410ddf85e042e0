#include "link/SerialLink.h"

#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vorn {

namespace {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The fault an errno from opening or using a device stands for.
SerialFault serialFaultFromErrno(int error) {
    switch (error) {
    case 0:
        return SerialFault::None;
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return SerialFault::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return SerialFault::NoPermission;
    case EBUSY:
        return SerialFault::Busy;
    case ENXIO:
    case ENODEV:
    case EIO:
    case ENOTTY:
        return SerialFault::NoPort;
    default:
        return SerialFault::DeviceError;
    }
}

#ifdef Q_OS_UNIX
struct Fd {
    explicit Fd(int fd) : fd(fd) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int fd;
};

// What the device itself says when opened and asked for its line state.
SerialOpenResult probeDevice(const QString& location) {
    const Fd fd(::open(QFile::encodeName(location).constData(),
                       O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.fd < 0) {
        const int error = errno;
        return {serialFaultFromErrno(error), errnoText(error)};
    }
    int exclusive = 0;
    if (::ioctl(fd.fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        return {SerialFault::Busy, errnoText(EBUSY)};
    termios line{};
    if (::tcgetattr(fd.fd, &line) != 0) {
        const int error = errno;
        return {SerialFault::NoPort,
                QStringLiteral("not a serial port (%1)").arg(errnoText(error))};
    }
    return {};
}
#endif

} // namespace

SerialOpenResult diagnoseSerialOpenFailure(const QString& location, int qtError,
                                           const QString& qtReason) {
    if (location.isEmpty())
        return {SerialFault::NotFound, QStringLiteral("no port is chosen")};
#ifdef Q_OS_UNIX
    if (SerialOpenResult device = probeDevice(location); !device.opened())
        return device;
#endif
    switch (static_cast<QSerialPort::SerialPortError>(qtError)) {
    case QSerialPort::DeviceNotFoundError:
        return {SerialFault::NotFound, qtReason};
    case QSerialPort::PermissionError: // the device opens: it is the lock another program holds
        return {SerialFault::Busy, qtReason};
    case QSerialPort::ResourceError:
        return {SerialFault::DeviceError, qtReason};
    default:
        return {SerialFault::SettingsRefused, qtReason};
    }
}

QString serialFailureLine(const QString& portName, const QString& location,
                          const SerialOpenResult& result) {
    const QString where = portName.isEmpty() ? QStringLiteral("the serial port")
                                             : QStringLiteral("%1 (%2)").arg(portName, location);
    const QString linkIt =
        QStringLiteral("link the device as %1 in the working folder, e.g. `ln -s /dev/ttyUSB0 %1`")
            .arg(portName.isEmpty() ? QStringLiteral("COM1") : portName);
    QString hint;
    switch (result.fault) {
    case SerialFault::None:
        return {};
    case SerialFault::NotFound:
    case SerialFault::NoPort:
        hint = linkIt;
        break;
    case SerialFault::NoPermission:
        hint = QStringLiteral("add your user to the dialout group "
                              "(sudo usermod -aG dialout \"$USER\", then log in again)");
        break;
    case SerialFault::Busy:
        hint = QStringLiteral("another program holds it; close that program first");
        break;
    case SerialFault::DeviceError:
        break;
    case SerialFault::SettingsRefused:
        return QStringLiteral("vorn: %1 refused 9600 baud 8N1: %2").arg(where, result.reason);
    }
    QString line = QStringLiteral("vorn: cannot open %1: %2").arg(where, result.reason);
    if (!hint.isEmpty())
        line += QStringLiteral("; ") + hint;
    return line;
}

SerialLink::SerialLink(QObject* parent) : QObject(parent) {}

SerialLink::~SerialLink() = default;

SerialOpenResult SerialLink::open(const QString& location) {
    close();
    if (location.isEmpty())
        return diagnoseSerialOpenFailure(location, QSerialPort::DeviceNotFoundError, {});
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(location);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        return diagnoseSerialOpenFailure(location, port->error(), port->errorString());
    port_ = std::move(port);
    watch();
    return {};
}

void SerialLink::watch() {
    connect(port_.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Line errors are cleared and reception goes on; only a dead handle ends the link.
        // Qt also reports a full output queue (EAGAIN) as a resource error: the
        // frame is dropped and the port, still healthy, stays open.
        if (e == QSerialPort::NoError)
            return;
        if (handleDead())
            scheduleLoss(QStringLiteral("the line hung up"));
        else if (e == QSerialPort::DeviceNotFoundError)
            scheduleLoss(port_->errorString());
        else
            port_->clearError();
    });
#ifdef Q_OS_UNIX
    // A hung-up tty reports an error condition; the port's own read notifier
    // would only see endless empty reads.
    hangUp_ = std::make_unique<QSocketNotifier>(port_->handle(), QSocketNotifier::Exception);
    connect(hangUp_.get(), &QSocketNotifier::activated, this, [this] {
        if (handleDead())
            scheduleLoss(QStringLiteral("the line hung up"));
    });
#endif
}

bool SerialLink::handleDead() const {
#ifdef Q_OS_UNIX
    pollfd p{static_cast<int>(port_->handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void SerialLink::scheduleLoss(const QString& reason) {
    if (dying_ || !port_)
        return;
    dying_ = true;
    lossReason_ = reason;
    if (hangUp_)
        hangUp_->setEnabled(false);
    QMetaObject::invokeMethod(this, &SerialLink::finishLoss, Qt::QueuedConnection);
}

void SerialLink::finishLoss() {
    if (!dying_)
        return; // already closed by a poll, or opened anew since
    close();
    emit lost(lossReason_);
}

bool SerialLink::isOpen() const {
    return port_ != nullptr;
}

void SerialLink::close() {
    dying_ = false;
    hangUp_.reset(); // before the handle it watches
    port_.reset();
}

QByteArray SerialLink::poll() {
    if (!port_)
        return {};
    if (!dying_ && handleDead())
        scheduleLoss(QStringLiteral("the line hung up"));
    if (dying_) {
        finishLoss();
        return {};
    }
    // Take in what the driver holds now without waiting, so a poll sees the
    // line as it is even when no event has been processed since the last one.
    port_->waitForReadyRead(0);
    if (dying_) { // the port's signals have returned: close it now
        finishLoss();
        return {};
    }
    if (port_->bytesAvailable() > kPollLimit) {
        port_->clear(QSerialPort::Input);
        return {};
    }
    return port_->readAll();
}

void SerialLink::write(QByteArrayView frame) {
    if (!port_ || dying_ || port_->bytesToWrite() > kWriteBacklogLimit)
        return;
    port_->write(frame.data(), frame.size());
    port_->flush();
}

} // namespace vorn
