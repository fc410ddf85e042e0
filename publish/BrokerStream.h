#pragma once

#include "publish/Tls.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace vorn::mqtt {

// The byte stream to a broker: a TCP connection, in TLS when asked. Made and
// used on one thread of its own, which it keeps from SIGPIPE: a broker that
// goes away must end the connection, not the program.
class BrokerStream {
public:
    using Clock = std::chrono::steady_clock;
    using Stop = std::function<bool()>;

    BrokerStream() = default;
    ~BrokerStream();
    BrokerStream(const BrokerStream&) = delete;
    BrokerStream& operator=(const BrokerStream&) = delete;

    // Connects before `deadline` unless `stop` says so first. Empty when
    // connected; otherwise why not ("Connection refused", a TLS failure).
    QString open(const QByteArray& host, int port, const TlsFiles* tls, Clock::time_point deadline,
                 const Stop& stop);
    void send(const QByteArray& bytes) { out_ += bytes; }
    bool flushed() const { return out_.isEmpty(); }
    qsizetype backlog() const { return out_.size(); }
    // Waits up to `ms` for the broker, then appends what came to `in` and
    // writes what the socket takes. False once the connection has ended.
    bool pump(QByteArray& in, int ms);
    // Why the connection ended.
    QString why() const { return why_; }

private:
    bool connectTo(const QByteArray& host, int port, Clock::time_point deadline, const Stop& stop);
    bool handshake(const QByteArray& host, Clock::time_point deadline, const Stop& stop);
    // Waits for `events` on the socket up to `ms`; false on a failure.
    bool wait(short events, int ms, short& ready);
    enum class Step { Go, Wait, End };
    // One read or write of up to `size` bytes: Go on with `done` of them,
    // Wait for the socket, or End (why_ says why).
    Step transfer(bool reading, char* data, int size, int& done);
    bool readAll(QByteArray& in);
    bool writeSome();
    bool fail(const QString& why);

    int fd_ = -1;
    std::unique_ptr<TlsSession> tls_;
    bool tlsWantsWrite_ = false; // TLS needs the socket writable before it can read
    QByteArray out_;
    QString why_;
};

} // namespace vorn::mqtt
