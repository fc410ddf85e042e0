#include "monitor/LocalSocket.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace vorn {

namespace {

// Bytes taken in one wake-up; the notifier fires again for the rest, so one
// busy peer cannot hold the event loop.
constexpr qsizetype kReadSlice = 256 * 1024;
// Sent bytes are cut from the outbox once this many have gathered.
constexpr qsizetype kCompactAt = 64 * 1024;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The address of `path`, or false when it does not fit.
bool address(const QString& path, sockaddr_un& out) {
    const QByteArray name = QFile::encodeName(path);
    out = {};
    out.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof out.sun_path)
        return false;
    std::memcpy(out.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

// A new non-blocking socket and the address of `path` for it; -1 with
// `error` set when the path does not fit or no socket can be had.
int newSocket(const QString& path, sockaddr_un& addr, QString& error) {
    if (!address(path, addr)) {
        error = QStringLiteral("the socket's path is too long");
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        error = systemError(errno);
    return fd;
}

} // namespace

LocalSocket::LocalSocket(QObject* parent) : QObject(parent) {}

LocalSocket::~LocalSocket() {
    abort();
}

bool LocalSocket::connectTo(const QString& path) {
    abort();
    sockaddr_un addr;
    const int fd = newSocket(path, addr, error_);
    if (fd < 0)
        return false;
    // A Unix socket connects at once or not at all; EAGAIN is a full queue.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = systemError(errno);
        ::close(fd);
        return false;
    }
    open(fd);
    return true;
}

void LocalSocket::adopt(int fd) {
    abort();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    open(fd);
}

void LocalSocket::open(int fd) {
    fd_ = fd;
    error_.clear();
    readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readable_.get(), &QSocketNotifier::activated, this, &LocalSocket::receive);
    writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writable_->setEnabled(false);
    connect(writable_.get(), &QSocketNotifier::activated, this, &LocalSocket::flushOutbox);
}

void LocalSocket::abort() {
    readable_.reset();
    writable_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    outbox_.clear();
    sent_ = 0;
}

QByteArray LocalSocket::readAll() {
    return std::exchange(inbox_, {});
}

void LocalSocket::receive() {
    if (fd_ < 0)
        return;
    const qsizetype before = inbox_.size();
    bool ended = false;
    int failure = 0;
    char buffer[16384];
    while (inbox_.size() - before < kReadSlice) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            inbox_.append(buffer, static_cast<qsizetype>(n));
            continue;
        }
        if (n == 0)
            ended = true;
        else if (errno == EINTR)
            continue;
        else if (errno != EAGAIN && errno != EWOULDBLOCK)
            failure = errno;
        break;
    }
    // The bytes go first: the peer's last words come before its end.
    QPointer<LocalSocket> self(this);
    if (inbox_.size() > before)
        emit readyRead();
    if (!self || fd_ < 0)
        return;
    if (ended)
        lose(QStringLiteral("the peer closed the connection"));
    else if (failure != 0)
        lose(systemError(failure));
}

void LocalSocket::write(const QByteArray& bytes) {
    if (fd_ < 0 || bytes.isEmpty())
        return;
    outbox_.append(bytes);
    flushOutbox();
}

void LocalSocket::flushOutbox() {
    while (fd_ >= 0 && sent_ < outbox_.size()) {
        const ssize_t n = ::send(fd_, outbox_.constData() + sent_,
                                 static_cast<std::size_t>(outbox_.size() - sent_), MSG_NOSIGNAL);
        if (n > 0) {
            sent_ += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // Told from the event loop: the writer may be walking its clients.
        const QString why = systemError(errno);
        readable_.reset();
        writable_.reset();
        QMetaObject::invokeMethod(
            this, [this, why] { lose(why); }, Qt::QueuedConnection);
        return;
    }
    if (sent_ == outbox_.size()) {
        outbox_.clear();
        sent_ = 0;
    } else if (sent_ >= kCompactAt) {
        outbox_.remove(0, sent_);
        sent_ = 0;
    }
    if (writable_)
        writable_->setEnabled(bytesToWrite() > 0);
}

void LocalSocket::lose(const QString& why) {
    if (fd_ < 0)
        return;
    error_ = why;
    abort();
    emit disconnected();
}

bool LocalSocket::waitForReadyRead(int ms) {
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    int n;
    do
        n = ::poll(&p, 1, ms < 0 ? 0 : ms);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    receive();
    return true;
}

LocalListener::LocalListener(QObject* parent) : QObject(parent) {}

LocalListener::~LocalListener() {
    close();
}

bool LocalListener::listen(const QString& path) {
    close();
    sockaddr_un addr;
    const int fd = newSocket(path, addr, error_);
    if (fd < 0)
        return false;
    ::unlink(addr.sun_path); // left by an owner that is gone
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::chmod(addr.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        error_ = systemError(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LocalListener::acceptAll);
    return true;
}

void LocalListener::close() {
    notifier_.reset();
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(QFile::encodeName(path_).constData());
}

void LocalListener::acceptAll() {
    bool any = false;
    for (;;) {
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: the waiting client would wake us at
                // once again; look again in a second instead of spinning.
                notifier_->setEnabled(false);
                QTimer::singleShot(1000, this, [this] {
                    if (notifier_)
                        notifier_->setEnabled(true);
                });
            }
            break;
        }
        auto* socket = new LocalSocket(this);
        socket->adopt(fd);
        pending_.push_back(socket);
        any = true;
    }
    if (any)
        emit newConnection();
}

LocalSocket* LocalListener::nextPendingConnection() {
    if (pending_.empty())
        return nullptr;
    LocalSocket* socket = pending_.front();
    pending_.erase(pending_.begin());
    return socket;
}

} // namespace vorn
