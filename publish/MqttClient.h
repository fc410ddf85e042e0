#pragma once

#include "publish/BrokerStream.h"
#include "publish/MqttPacket.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

namespace vorn::mqtt {

// One connection to a broker, for publishing: CONNECT, then what is
// published and subscribed, the pings that keep it alive, and what the broker
// sends, handed to `Events`. Everything runs on the caller's thread, within
// the waits it allows.
class MqttClient {
public:
    using Clock = std::chrono::steady_clock;
    struct Events {
        std::function<void(int code)> connAck;      // 0: accepted
        std::function<void(int code)> disconnected; // the broker ended it, with this reason
        std::function<void(int code)> subAck;       // 128 and above: refused
        std::function<void(const packet::Incoming&)> message;
    };

    explicit MqttClient(Events events) : events_(std::move(events)) {}

    // Connects and sends `connect`; empty when sent, otherwise why not.
    QString open(const QByteArray& host, int port, const TlsFiles* tls,
                 const packet::Connect& connect, Clock::time_point deadline,
                 const BrokerStream::Stop& stop);
    // Serves the connection for up to `ms`. False once it has ended; why()
    // says why.
    bool serve(int ms);
    // False, and nothing sent, when the broker said it takes no packet so large.
    bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain);
    // How many more QoS 1 messages the broker takes before it has
    // acknowledged those it has: a broker may end a connection that sends more.
    int qos1Room() const;
    void subscribe(const QByteArray& filter, int qos);
    // A clean end: the broker drops our will and closes the connection.
    void disconnect();
    QString why() const { return why_; }
    // Bytes written but not yet taken by the socket.
    qsizetype backlog() const { return stream_.backlog(); }

private:
    void send(const QByteArray& bytes);
    bool handle(const packet::Packet& p);
    bool fail(const QString& why);
    std::uint16_t nextId();

    Events events_;
    BrokerStream stream_;
    packet::Version version_ = packet::Version::V5;
    std::chrono::seconds keepAlive_{30};
    QByteArray in_;
    Clock::time_point opened_{};
    Clock::time_point lastSent_{};
    std::optional<Clock::time_point> pingSent_;
    std::optional<std::uint32_t> maxPacket_;
    std::uint16_t receiveMaximum_ = 0xFFFF;
    std::set<std::uint16_t> unacknowledged_; // QoS 1 packet ids sent
    bool accepted_ = false;
    std::uint16_t lastId_ = 0;
    QString why_;
};

} // namespace vorn::mqtt
