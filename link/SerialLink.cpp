#include "link/SerialLink.h"

#include <QSerialPort>

namespace vorn {

SerialLink::SerialLink() = default;
SerialLink::~SerialLink() = default;

SerialLink::OpenResult SerialLink::open(const QString& location) {
    if (location.isEmpty())
        return OpenResult::OpenFailed; // no port chosen at all
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(location);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        switch (port->error()) {
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::OpenError:
            return OpenResult::OpenFailed;
        default:
            // The device opened but is no line that takes these settings.
            return OpenResult::SetFailed;
        }
    }
    port_ = std::move(port);
    return OpenResult::Opened;
}

bool SerialLink::isOpen() const {
    return port_ != nullptr;
}

QByteArray SerialLink::poll() {
    if (!port_)
        return {};
    // Take in what the driver holds now without waiting, so a poll sees the
    // line as it is even when no event has been processed since the last one.
    port_->waitForReadyRead(0);
    if (port_->bytesAvailable() > kPollLimit) {
        port_->clear(QSerialPort::Input);
        return {};
    }
    return port_->readAll();
}

void SerialLink::write(QByteArrayView frame) {
    if (!port_)
        return;
    port_->write(frame.data(), frame.size());
    port_->flush();
}

} // namespace vorn
