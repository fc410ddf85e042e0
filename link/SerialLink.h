#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

class QSerialPort;

namespace vorn {

// The serial line to the unit: opened once, polled every 100 ms, written by
// the command senders. Reads never block.
class SerialLink {
public:
    enum class OpenResult {
        Opened,
        OpenFailed, // absent, in use or not allowed
        SetFailed,  // opened, but the line parameters were refused
    };

    // More bytes than this waiting at one poll are discarded unread.
    static constexpr qint64 kPollLimit = 100;

    SerialLink();
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens `location` (a device path) at 9600 baud, 8 data bits, no parity,
    // one stop bit, no flow control.
    OpenResult open(const QString& location);
    bool isOpen() const;

    // The bytes waiting now, in arrival order; empty when none, or when more
    // than kPollLimit were waiting, which are then all thrown away.
    QByteArray poll();

    // Hands a whole frame to the driver; a failed or short write is not
    // reported, the frame is simply lost.
    void write(QByteArrayView frame);

private:
    std::unique_ptr<QSerialPort> port_;
};

} // namespace vorn
