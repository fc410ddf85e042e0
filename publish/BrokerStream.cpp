#include "publish/BrokerStream.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn::mqtt {

namespace {

constexpr int kSliceMs = 100; // how soon a stop is noticed while connecting
constexpr qsizetype kMaxReadPerPump = 256 * 1024;

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

struct AddrInfoFree {
    void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};

int sliceUntil(BrokerStream::Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - BrokerStream::Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, kSliceMs));
}

} // namespace

BrokerStream::~BrokerStream() {
    tls_.reset(); // its goodbye goes out before the socket closes
    if (fd_ >= 0)
        ::close(fd_);
}

bool BrokerStream::fail(const QString& why) {
    why_ = why;
    return false;
}

QString BrokerStream::open(const QByteArray& host, int port, const TlsFiles* tls,
                           Clock::time_point deadline, const Stop& stop) {
    // TLS writes with plain write(), which raises SIGPIPE on a closed socket.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    if (tls != nullptr) {
        QString error;
        tls_ = TlsSession::make(*tls, error);
        if (!tls_)
            return error;
    }
    if (!connectTo(host, port, deadline, stop) || (tls_ && !handshake(host, deadline, stop)))
        return why_;
    return {};
}

bool BrokerStream::connectTo(const QByteArray& host, int port, Clock::time_point deadline,
                             const Stop& stop) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int rc =
        ::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found);
    if (rc != 0)
        return fail(rc == EAI_SYSTEM ? errnoText(errno) : QString::fromLocal8Bit(gai_strerror(rc)));
    const std::unique_ptr<addrinfo, AddrInfoFree> addresses(found);
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) {
            why_ = errnoText(errno);
            continue;
        }
        int error = ::connect(fd_, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        while (error == EINPROGRESS) {
            short ready = 0;
            if (stop() || Clock::now() >= deadline || !wait(POLLOUT, sliceUntil(deadline), ready))
                break;
            if (ready == 0)
                continue;
            socklen_t size = sizeof error;
            if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error == 0) {
            const int on = 1; // small packets go out at once
            ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return true;
        }
        ::close(fd_);
        fd_ = -1;
        if (error == EINPROGRESS)
            return fail(errnoText(ETIMEDOUT)); // out of time, or asked to stop
        why_ = errnoText(error);
    }
    return false;
}

bool BrokerStream::handshake(const QByteArray& host, Clock::time_point deadline, const Stop& stop) {
    while (!stop() && Clock::now() < deadline) {
        short ready = 0;
        switch (tls_->handshake(fd_, host)) {
        case TlsSession::Io::Done:
            return true;
        case TlsSession::Io::WantRead:
            if (!wait(POLLIN, sliceUntil(deadline), ready))
                return false;
            break;
        case TlsSession::Io::WantWrite:
            if (!wait(POLLOUT, sliceUntil(deadline), ready))
                return false;
            break;
        case TlsSession::Io::Closed:
            return fail(QStringLiteral("the broker closed the connection during the TLS "
                                       "handshake"));
        case TlsSession::Io::Failed:
            return fail(tls_->error());
        }
    }
    return fail(QStringLiteral("no TLS handshake in time"));
}

bool BrokerStream::wait(short events, int ms, short& ready) {
    pollfd p{fd_, events, 0};
    const int rc = ::poll(&p, 1, ms);
    if (rc < 0 && errno != EINTR)
        return fail(errnoText(errno));
    if ((p.revents & POLLNVAL) != 0)
        return fail(QStringLiteral("the connection was closed"));
    ready = rc > 0 ? p.revents : 0;
    return true;
}

bool BrokerStream::pump(QByteArray& in, int ms) {
    if (fd_ < 0)
        return false;
    if (!out_.isEmpty() && !writeSome())
        return false;
    short events = POLLIN;
    if (!out_.isEmpty() || tlsWantsWrite_)
        events |= POLLOUT;
    short ready = 0;
    if (!wait(events, ms, ready))
        return false;
    if ((ready & POLLOUT) != 0 && !out_.isEmpty() && !writeSome())
        return false;
    const bool readable = (ready & (POLLIN | POLLHUP | POLLERR)) != 0;
    if (readable || ((ready & POLLOUT) != 0 && tlsWantsWrite_)) {
        tlsWantsWrite_ = false;
        return readAll(in);
    }
    return true;
}

BrokerStream::Step BrokerStream::transfer(bool reading, char* data, int size, int& done) {
    done = 0;
    if (tls_) {
        switch (reading ? tls_->read(data, size, done) : tls_->write(data, size, done)) {
        case TlsSession::Io::Done:
            return Step::Go;
        case TlsSession::Io::WantWrite:
            tlsWantsWrite_ = tlsWantsWrite_ || reading;
            return Step::Wait;
        case TlsSession::Io::WantRead:
            return Step::Wait;
        case TlsSession::Io::Closed:
            fail(QStringLiteral("the broker closed the connection"));
            return Step::End;
        case TlsSession::Io::Failed:
            fail(tls_->error());
            return Step::End;
        }
    }
    for (;;) {
        const auto length = static_cast<size_t>(size);
        const ssize_t n =
            reading ? ::recv(fd_, data, length, 0) : ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n > 0 || (n == 0 && !reading)) {
            done = static_cast<int>(n);
            return Step::Go;
        }
        if (n == 0) {
            fail(QStringLiteral("the broker closed the connection"));
            return Step::End;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Step::Wait;
        fail(errnoText(errno));
        return Step::End;
    }
}

bool BrokerStream::readAll(QByteArray& in) {
    std::array<char, 16 * 1024> buffer;
    for (qsizetype taken = 0; taken < kMaxReadPerPump;) {
        int got = 0;
        const Step step = transfer(true, buffer.data(), static_cast<int>(buffer.size()), got);
        if (step != Step::Go)
            return step == Step::Wait;
        in.append(buffer.data(), got);
        taken += got;
    }
    return true; // the rest waits for the next pump, so a flood cannot hold us here
}

bool BrokerStream::writeSome() {
    while (!out_.isEmpty()) {
        const int size = static_cast<int>(std::min<qsizetype>(out_.size(), INT_MAX));
        int put = 0;
        const Step step = transfer(false, out_.data(), size, put);
        if (step != Step::Go)
            return step == Step::Wait;
        out_.remove(0, put);
    }
    return true;
}

} // namespace vorn::mqtt
