#include "publish/MqttClient.h"

#include <algorithm>

namespace vorn::mqtt {

QString MqttClient::open(const QByteArray& host, int port, const TlsFiles* tls,
                         const packet::Connect& connect, Clock::time_point deadline,
                         const BrokerStream::Stop& stop) {
    version_ = connect.version;
    keepAlive_ = std::chrono::seconds{std::max<int>(connect.keepAliveSeconds, 1)};
    why_ = stream_.open(host, port, tls, deadline, stop);
    if (!why_.isEmpty())
        return why_;
    opened_ = Clock::now();
    send(packet::connect(connect));
    return {};
}

bool MqttClient::fail(const QString& why) {
    why_ = why;
    return false;
}

void MqttClient::send(const QByteArray& bytes) {
    stream_.send(bytes);
    lastSent_ = Clock::now();
}

std::uint16_t MqttClient::nextId() {
    lastId_ = lastId_ == 0xFFFF ? 1 : lastId_ + 1; // 0 is no id
    return lastId_;
}

bool MqttClient::publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain) {
    const QByteArray p =
        packet::publish(version_, topic, payload, qos, retain, qos > 0 ? nextId() : 0);
    if (maxPacket_ && static_cast<std::uint64_t>(p.size()) > *maxPacket_)
        return false;
    send(p);
    if (qos > 0)
        unacknowledged_.insert(lastId_);
    return true;
}

int MqttClient::qos1Room() const {
    return std::max(0, int{receiveMaximum_} - static_cast<int>(unacknowledged_.size()));
}

void MqttClient::subscribe(const QByteArray& filter, int qos) {
    send(packet::subscribe(version_, nextId(), filter, qos));
}

void MqttClient::disconnect() {
    send(packet::disconnect(version_));
}

bool MqttClient::serve(int ms) {
    // What came before the connection ended is read first: a refusal comes
    // with the broker closing the connection.
    const bool open = stream_.pump(in_, ms);
    for (;;) {
        packet::Packet p;
        const packet::Take took = packet::take(in_, p);
        if (took == packet::Take::NeedMore)
            break;
        if (took == packet::Take::Malformed)
            return fail(QStringLiteral("the broker sent a malformed packet"));
        if (!handle(p))
            return false;
    }
    if (!open)
        return fail(stream_.why());
    // The broker answers a CONNECT, and a ping, within one keep-alive period,
    // or the connection is taken as lost.
    const auto now = Clock::now();
    if (!accepted_ && now - opened_ >= keepAlive_)
        return fail(QStringLiteral("no answer to our CONNECT within %1 s").arg(keepAlive_.count()));
    if (pingSent_ && now - *pingSent_ >= keepAlive_)
        return fail(QStringLiteral("no answer to our ping within %1 s").arg(keepAlive_.count()));
    if (accepted_ && !pingSent_ && now - lastSent_ >= keepAlive_) {
        send(packet::pingReq());
        pingSent_ = now;
    }
    return true;
}

bool MqttClient::handle(const packet::Packet& p) {
    using packet::Type;
    switch (p.type) {
    case Type::ConnAck: {
        const auto ack = packet::connAck(version_, p);
        if (!ack)
            return fail(QStringLiteral("the broker sent a malformed CONNACK"));
        accepted_ = ack->code == 0;
        maxPacket_ = ack->maxPacket;
        receiveMaximum_ = ack->receiveMaximum;
        if (ack->keepAliveSeconds && *ack->keepAliveSeconds > 0)
            keepAlive_ = std::chrono::seconds{*ack->keepAliveSeconds};
        if (events_.connAck)
            events_.connAck(ack->code);
        return true;
    }
    case Type::Publish: {
        const auto in = packet::incoming(version_, p);
        if (!in)
            return fail(QStringLiteral("the broker sent a malformed PUBLISH"));
        if (in->qos == 1)
            send(packet::pubAck(version_, in->id));
        if (events_.message)
            events_.message(*in);
        return true;
    }
    case Type::SubAck:
        if (const auto code = packet::subAckCode(version_, p); code && events_.subAck)
            events_.subAck(*code);
        return true;
    case Type::PingResp:
        pingSent_.reset();
        return true;
    case Type::Disconnect: {
        const int code = packet::disconnectCode(version_, p).value_or(0);
        if (events_.disconnected)
            events_.disconnected(code);
        return fail(QStringLiteral("the broker ended the connection: %1")
                        .arg(packet::reasonText(version_, code)));
    }
    case Type::PubAck:
        if (const auto id = packet::pubAckId(p))
            unacknowledged_.erase(*id);
        return true;
    default:
        return true; // whatever else needs nothing from us
    }
}

} // namespace vorn::mqtt
