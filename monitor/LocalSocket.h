#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace vorn {

// One end of a Unix stream socket between VORN processes, driven by the
// event loop. Writes never wait: what the peer has not taken yet stays in an
// outbox the caller can measure. Plain POSIX, so the service needs no Qt
// Network (and none of the network stacks it brings in).
class LocalSocket : public QObject {
    Q_OBJECT
public:
    explicit LocalSocket(QObject* parent = nullptr);
    ~LocalSocket() override;
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    // Connects to the socket at `path`; never waits (a listener whose queue
    // is full counts as not there).
    bool connectTo(const QString& path);
    // Takes over an accepted, connected descriptor.
    void adopt(int fd);
    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    QString errorString() const { return error_; }

    // What has arrived since the last call.
    QByteArray readAll();
    // Sends what it can now and keeps the rest for when the peer reads.
    void write(const QByteArray& bytes);
    qsizetype bytesToWrite() const { return outbox_.size() - sent_; }
    // Waits up to `ms` for bytes (or the end) and takes them; for the one
    // bounded wait of a window attaching to the owner.
    bool waitForReadyRead(int ms);
    // Closes at once, without a signal; what was not sent is lost.
    void abort();

signals:
    void readyRead();
    // The peer closed or the connection failed; emitted from the event loop.
    void disconnected();

private:
    void open(int fd);
    void receive();
    void flushOutbox();
    void lose(const QString& why);

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    QByteArray inbox_;
    QByteArray outbox_;
    qsizetype sent_ = 0; // bytes at the front of outbox_ already sent
    QString error_;
};

// A listening Unix stream socket. Only this user may reach it: the file is
// 0600 and the folder around it the caller's own.
class LocalListener : public QObject {
    Q_OBJECT
public:
    explicit LocalListener(QObject* parent = nullptr);
    ~LocalListener() override; // stops listening and removes the file
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Replaces whatever file is at `path` (the caller holds the lock that
    // makes it theirs) and listens there.
    bool listen(const QString& path);
    QString errorString() const { return error_; }
    // The next accepted connection, owned by this listener until reparented
    // or deleted; null when none is waiting.
    LocalSocket* nextPendingConnection();

signals:
    void newConnection();

private:
    void acceptAll();
    void close();

    int fd_ = -1;
    QString path_;
    QString error_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<LocalSocket*> pending_; // children of this
};

} // namespace vorn
