#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <memory>

class QSerialPort;
class QSocketNotifier;

namespace vorn {

// Why a port did not open, in the terms a user can act on.
enum class SerialFault {
    None,
    NotFound,        // no such file, or no port chosen
    NoPermission,    // the user may not open it
    Busy,            // another program holds it
    NoPort,          // a node with no working port behind it, or no serial port at all
    DeviceError,     // any other failure of the device itself
    SettingsRefused, // it opened, but did not take 9600 8N1
};

struct SerialOpenResult {
    SerialFault fault = SerialFault::None;
    QString reason; // the system's own words
    bool opened() const { return fault == SerialFault::None; }
};

// Why a port that QSerialPort could not open failed: the device is opened
// again by itself to hear the system's reason; only when the device itself
// can be used is Qt's failure put down to a lock (busy) or the line settings.
SerialOpenResult diagnoseSerialOpenFailure(const QString& location, int qtError,
                                           const QString& qtReason);

// The line for standard error: the port, the path tried, the system's reason
// and what the user can do about it.
QString serialFailureLine(const QString& portName, const QString& location,
                          const SerialOpenResult& result);

// One open serial line to the unit. Reads never block and writes never pile
// up. When the device goes away (hang-up, removal, an I/O error that leaves
// the handle dead) the port is closed at once and lost() is emitted, so
// nothing watches a dead handle.
class SerialLink : public QObject {
    Q_OBJECT
public:
    // More bytes than this waiting at one poll are discarded unread.
    static constexpr qint64 kPollLimit = 100;
    // Frames the driver has not taken beyond this are dropped, not queued.
    static constexpr qint64 kWriteBacklogLimit = 256;

    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // Opens `location` (a device path) at 9600 baud, 8 data bits, no parity,
    // one stop bit, no flow control. An open port is closed first.
    SerialOpenResult open(const QString& location);
    bool isOpen() const;
    void close();

    // The bytes waiting now, in arrival order; empty when none, or when more
    // than kPollLimit were waiting, which are then all thrown away.
    QByteArray poll();

    // Hands a whole frame to the driver; a failed or short write is not
    // reported, the frame is simply lost.
    void write(QByteArrayView frame);

signals:
    // The device went away; the port is closed already.
    void lost(const QString& reason);

private:
    void watch();
    bool handleDead() const;
    // Called from inside the port's own signals: the port is closed later,
    // once they have returned.
    void scheduleLoss(const QString& reason);
    void finishLoss();

    std::unique_ptr<QSerialPort> port_;
    std::unique_ptr<QSocketNotifier> hangUp_; // error condition on the handle
    bool dying_ = false;
    QString lossReason_;
};

} // namespace vorn
