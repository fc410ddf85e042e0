#pragma once

#include "link/SerialLink.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace vorn {

// The chosen COM port over the whole run: opened at start, closed at once
// when its device goes away, and opened again when it comes back (after a
// device-change broadcast, or on the next look every two seconds). While it
// is away the program idles: a look is one check that the name exists.
// The working folder is watched (inotify, no polling): a COMn file that
// appears there, or a link there that comes to point elsewhere, is opened
// as at the start, in place of the system port taken for want of it.
class SerialSession : public QObject {
    Q_OBJECT
public:
    // Polls between two looks for a lost port: 2 s of 100 ms polls.
    static constexpr int kRetryPolls = 20;

    explicit SerialSession(QString workDir, QObject* parent = nullptr);

    // Opens a COM port name ("COM1" to "COM4", or empty for no choice).
    SerialOpenResult open(const QString& portName);
    QString portName() const { return name_; }
    QString location() const { return location_; } // the path tried last
    bool isOpen() const { return link_.isOpen(); }
    bool isLost() const { return lost_; }

    // Each 100 ms: the bytes waiting; while the port is lost, now and then a
    // look for its return.
    QByteArray poll();
    void write(QByteArrayView frame) { link_.write(frame); }
    // A device-change broadcast: a lost port is looked for at the next poll.
    void deviceChanged();

signals:
    // One line each for standard error.
    void lost(const QString& line);
    void reopened(const QString& line);

private:
    void onLinkLost(const QString& reason);
    void lookForReturn();
    void folderChanged();

    SerialLink link_;
    const QString workDir_;
    QFileSystemWatcher folder_;
    QString name_;
    QString location_;
    QString target_; // where the port's file in the folder led when it was opened
    bool lost_ = false;
    int pollsToLook_ = 0;
};

} // namespace vorn
