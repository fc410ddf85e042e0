#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// The MQTT packets a publishing client needs, in MQTT 5 and 3.1.1: built
// here, and read back from what the broker sends. Everything read is
// untrusted: a length that runs past its packet makes the packet malformed.
namespace vorn::mqtt::packet {

enum class Version : std::uint8_t { V311 = 4, V5 = 5 };

enum class Type : std::uint8_t {
    Connect = 1,
    ConnAck = 2,
    Publish = 3,
    PubAck = 4,
    Subscribe = 8,
    SubAck = 9,
    PingReq = 12,
    PingResp = 13,
    Disconnect = 14,
};

// MQTT 5 reason codes we act on.
constexpr int kUnsupportedProtocolVersion = 0x84;
constexpr int kSessionTakenOver = 0x8E;
// The largest packet we take from the broker; it is told so in CONNECT.
constexpr std::uint32_t kMaxIncoming = 256 * 1024;

struct Connect {
    Version version = Version::V5;
    QByteArray clientId;
    QByteArray user;      // empty: none
    QByteArray password;  // sent only with a user
    QByteArray willTopic; // empty: no will
    QByteArray willPayload;
    int willQos = 0;
    bool willRetain = false;
    std::uint16_t keepAliveSeconds = 30;
};

QByteArray connect(const Connect& c);
QByteArray publish(Version v, const QByteArray& topic, const QByteArray& payload, int qos,
                   bool retain, std::uint16_t id);
QByteArray subscribe(Version v, std::uint16_t id, const QByteArray& filter, int qos);
QByteArray pubAck(Version v, std::uint16_t id);
QByteArray pingReq();
QByteArray disconnect(Version v);

// One whole packet as it came: its type, the low four bits of its first
// byte, and its body after the length.
struct Packet {
    Type type{};
    std::uint8_t flags = 0;
    QByteArray body;
};

enum class Take { Packet, NeedMore, Malformed };
// Takes the first whole packet off the front of `buffer`.
Take take(QByteArray& buffer, Packet& out);

struct Incoming {
    QByteArray topic;
    QByteArray payload;
    int qos = 0;
    bool retain = false;
    std::uint16_t id = 0;
};

// A CONNACK: its reason code (0: accepted), and what an MQTT 5 broker says
// of its limits. An MQTT 5 CONNECT answered in the 3.1.1 way by an older
// broker gives kUnsupportedProtocolVersion.
struct ConnAck {
    int code = 0;
    std::optional<std::uint32_t> maxPacket;        // the largest packet it takes
    std::optional<std::uint16_t> keepAliveSeconds; // the keep-alive it wants instead of ours
    std::uint16_t receiveMaximum = 0xFFFF;         // QoS 1 messages it takes unacknowledged
};
std::optional<ConnAck> connAck(Version v, const Packet& p);
std::optional<Incoming> incoming(Version v, const Packet& p);
// The packet id a PUBACK acknowledges.
std::optional<std::uint16_t> pubAckId(const Packet& p);
// The first reason code of a SUBACK; 128 and above: refused.
std::optional<int> subAckCode(Version v, const Packet& p);
// The reason a broker gives for ending the connection (MQTT 5; 0 when none).
std::optional<int> disconnectCode(Version v, const Packet& p);

// A broker's reason code in words, lower case, for "refused: <text>".
QString reasonText(Version v, int code);

} // namespace vorn::mqtt::packet
