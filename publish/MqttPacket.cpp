#include "publish/MqttPacket.h"

#include <array>
#include <utility>

namespace vorn::mqtt::packet {

namespace {

constexpr std::uint32_t kMaxRemaining = 268'435'455; // four length bytes
constexpr std::uint8_t kPropMaxPacketSize = 0x27;

void u16(QByteArray& out, std::uint32_t v) {
    out.append(static_cast<char>((v >> 8) & 0xFF));
    out.append(static_cast<char>(v & 0xFF));
}

void u32(QByteArray& out, std::uint32_t v) {
    u16(out, v >> 16);
    u16(out, v & 0xFFFF);
}

void varint(QByteArray& out, std::uint32_t v) {
    do {
        std::uint8_t b = v % 128;
        v /= 128;
        if (v > 0)
            b |= 0x80;
        out.append(static_cast<char>(b));
    } while (v > 0);
}

// A string or binary field: its length on two bytes, then the bytes; cut
// at 65,535, the most the field can say.
void field(QByteArray& out, const QByteArray& bytes) {
    const auto size = std::min<qsizetype>(bytes.size(), 0xFFFF);
    u16(out, static_cast<std::uint32_t>(size));
    out.append(bytes.constData(), size);
}

QByteArray framed(Type type, std::uint8_t flags, const QByteArray& body) {
    QByteArray out;
    out.append(static_cast<char>((static_cast<std::uint8_t>(type) << 4) | (flags & 0x0F)));
    varint(out, static_cast<std::uint32_t>(std::min<qsizetype>(body.size(), kMaxRemaining)));
    out.append(body);
    return out;
}

// Reads a body front to back; any read past the end leaves it failed.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    qsizetype left() const { return ok_ ? bytes_.size() - at_ : 0; }
    std::uint32_t byte() {
        if (left() < 1)
            return fail();
        return static_cast<std::uint8_t>(bytes_[at_++]);
    }
    std::uint32_t u16() {
        const std::uint32_t hi = byte();
        return (hi << 8) | byte();
    }
    std::uint32_t varint() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t b = byte();
            v |= (b & 0x7F) << (7 * i);
            if ((b & 0x80) == 0)
                return v;
        }
        return fail();
    }
    QByteArray bytes(qsizetype n) {
        if (n < 0 || left() < n) {
            fail();
            return {};
        }
        QByteArray out = bytes_.mid(at_, n);
        at_ += n;
        return out;
    }
    void skip(qsizetype n) { (void)bytes(n); }
    QByteArray rest() { return bytes(left()); }

private:
    std::uint32_t fail() {
        ok_ = false;
        return 0;
    }
    const QByteArray& bytes_;
    qsizetype at_ = 0;
    bool ok_ = true;
};

// MQTT 5 properties are only skipped: we act on no property the broker sends.
void skipProperties(Version v, Reader& r) {
    if (v == Version::V5)
        r.skip(r.varint());
}

} // namespace

QByteArray connect(const Connect& c) {
    QByteArray body;
    field(body, QByteArrayLiteral("MQTT"));
    body.append(static_cast<char>(c.version));
    std::uint8_t flags = 0x02; // a clean start: nothing is kept between connections
    const bool user = !c.user.isEmpty();
    const bool will = !c.willTopic.isEmpty();
    if (user)
        flags |= 0x80 | 0x40;
    if (will)
        flags |= 0x04 | ((c.willQos & 0x03) << 3) | (c.willRetain ? 0x20 : 0);
    body.append(static_cast<char>(flags));
    u16(body, c.keepAliveSeconds);
    if (c.version == Version::V5) {
        body.append(char(5)); // properties: the largest packet we take
        body.append(static_cast<char>(kPropMaxPacketSize));
        u32(body, kMaxIncoming);
    }
    field(body, c.clientId);
    if (will) {
        if (c.version == Version::V5)
            body.append(char(0)); // will properties
        field(body, c.willTopic);
        field(body, c.willPayload);
    }
    if (user) {
        field(body, c.user);
        field(body, c.password);
    }
    return framed(Type::Connect, 0, body);
}

QByteArray publish(Version v, const QByteArray& topic, const QByteArray& payload, int qos,
                   bool retain, std::uint16_t id) {
    QByteArray body;
    field(body, topic);
    if (qos > 0)
        u16(body, id);
    if (v == Version::V5)
        body.append(char(0));
    body.append(payload);
    return framed(Type::Publish, static_cast<std::uint8_t>(((qos & 0x03) << 1) | (retain ? 1 : 0)),
                  body);
}

QByteArray subscribe(Version v, std::uint16_t id, const QByteArray& filter, int qos) {
    QByteArray body;
    u16(body, id);
    if (v == Version::V5)
        body.append(char(0));
    field(body, filter);
    body.append(static_cast<char>(qos & 0x03));
    return framed(Type::Subscribe, 0x02, body);
}

QByteArray pubAck(Version, std::uint16_t id) {
    QByteArray body;
    u16(body, id); // success, which both versions may say with the id alone
    return framed(Type::PubAck, 0, body);
}

QByteArray pingReq() {
    return framed(Type::PingReq, 0, {});
}

QByteArray disconnect(Version) {
    return framed(Type::Disconnect, 0, {}); // a normal end; the broker drops the will
}

Take take(QByteArray& buffer, Packet& out) {
    if (buffer.isEmpty())
        return Take::NeedMore;
    std::uint32_t remaining = 0;
    qsizetype at = 1;
    for (int i = 0;; ++i) {
        if (i == 4)
            return Take::Malformed;
        if (at >= buffer.size())
            return Take::NeedMore;
        const auto b = static_cast<std::uint8_t>(buffer[at++]);
        remaining |= static_cast<std::uint32_t>(b & 0x7F) << (7 * i);
        if ((b & 0x80) == 0)
            break;
    }
    if (remaining > kMaxIncoming)
        return Take::Malformed;
    if (buffer.size() - at < static_cast<qsizetype>(remaining))
        return Take::NeedMore;
    const auto first = static_cast<std::uint8_t>(buffer[0]);
    out.type = static_cast<Type>(first >> 4);
    out.flags = first & 0x0F;
    out.body = buffer.mid(at, remaining);
    buffer.remove(0, at + remaining);
    return Take::Packet;
}

std::optional<ConnAck> connAck(Version v, const Packet& p) {
    if (p.type != Type::ConnAck)
        return std::nullopt;
    Reader r(p.body);
    r.byte(); // session present
    ConnAck a;
    a.code = static_cast<int>(r.byte());
    if (!r.ok())
        return std::nullopt;
    if (v == Version::V311)
        return a;
    // An older broker answers MQTT 5 in 3.1.1's words: 1 is "unacceptable
    // protocol version" there.
    if (p.body.size() == 2 && a.code == 1) {
        a.code = kUnsupportedProtocolVersion;
        return a;
    }
    const qsizetype length = r.varint();
    const QByteArray properties = r.bytes(length);
    Reader props(properties);
    while (r.ok() && props.ok() && props.left() > 0) {
        switch (props.byte()) {
        case 0x13: // server keep alive
            a.keepAliveSeconds = static_cast<std::uint16_t>(props.u16());
            break;
        case 0x27: { // maximum packet size
            const std::uint32_t high = props.u16();
            a.maxPacket = (high << 16) | props.u16();
            break;
        }
        case 0x01:
        case 0x17:
        case 0x19:
        case 0x24:
        case 0x25:
        case 0x28:
        case 0x29:
        case 0x2A:
            props.skip(1);
            break;
        case 0x21: // receive maximum; 0 is a protocol error, taken as 1
            a.receiveMaximum = static_cast<std::uint16_t>(std::max<std::uint32_t>(props.u16(), 1));
            break;
        case 0x22:
            props.skip(2);
            break;
        case 0x02:
        case 0x11:
            props.skip(4);
            break;
        case 0x0B:
            props.varint();
            break;
        case 0x26: // a pair of strings
            props.skip(props.u16());
            props.skip(props.u16());
            break;
        case 0x03:
        case 0x08:
        case 0x09:
        case 0x12:
        case 0x15:
        case 0x16:
        case 0x1A:
        case 0x1C:
        case 0x1F:
            props.skip(props.u16());
            break;
        default:
            return std::nullopt; // a property we cannot step over
        }
    }
    if (!r.ok() || !props.ok())
        return std::nullopt;
    return a;
}

std::optional<Incoming> incoming(Version v, const Packet& p) {
    if (p.type != Type::Publish)
        return std::nullopt;
    Incoming in;
    in.qos = (p.flags >> 1) & 0x03;
    in.retain = (p.flags & 0x01) != 0;
    Reader r(p.body);
    in.topic = r.bytes(r.u16());
    if (in.qos > 0)
        in.id = static_cast<std::uint16_t>(r.u16());
    skipProperties(v, r);
    in.payload = r.rest();
    if (!r.ok() || in.qos == 3)
        return std::nullopt;
    return in;
}

std::optional<std::uint16_t> pubAckId(const Packet& p) {
    if (p.type != Type::PubAck)
        return std::nullopt;
    Reader r(p.body);
    const auto id = static_cast<std::uint16_t>(r.u16());
    return r.ok() ? std::optional(id) : std::nullopt;
}

std::optional<int> subAckCode(Version v, const Packet& p) {
    if (p.type != Type::SubAck)
        return std::nullopt;
    Reader r(p.body);
    r.u16();
    skipProperties(v, r);
    const int code = static_cast<int>(r.byte());
    return r.ok() ? std::optional(code) : std::nullopt;
}

std::optional<int> disconnectCode(Version v, const Packet& p) {
    if (p.type != Type::Disconnect)
        return std::nullopt;
    if (v != Version::V5 || p.body.isEmpty())
        return 0;
    Reader r(p.body);
    const int code = static_cast<int>(r.byte());
    return r.ok() ? std::optional(code) : std::nullopt;
}

QString reasonText(Version v, int code) {
    if (v == Version::V311) {
        static constexpr std::array<const char*, 6> kConnAck{
            "accepted",           "unacceptable protocol version", "identifier rejected",
            "server unavailable", "bad user name or password",     "not authorized"};
        if (code >= 0 && code < static_cast<int>(kConnAck.size()))
            return QString::fromLatin1(kConnAck[static_cast<std::size_t>(code)]);
        return QStringLiteral("unknown reason %1").arg(code);
    }
    static constexpr std::array<std::pair<int, const char*>, 33> kReasons{{
        {0x00, "success"},
        {0x80, "unspecified error"},
        {0x81, "malformed packet"},
        {0x82, "protocol error"},
        {0x83, "implementation specific error"},
        {0x84, "unsupported protocol version"},
        {0x85, "client identifier not valid"},
        {0x86, "bad user name or password"},
        {0x87, "not authorized"},
        {0x88, "server unavailable"},
        {0x89, "server busy"},
        {0x8A, "banned"},
        {0x8B, "server shutting down"},
        {0x8C, "bad authentication method"},
        {0x8D, "keep alive timeout"},
        {0x8E, "session taken over"},
        {0x8F, "topic filter invalid"},
        {0x90, "topic name invalid"},
        {0x91, "packet identifier in use"},
        {0x92, "packet identifier not found"},
        {0x93, "receive maximum exceeded"},
        {0x94, "topic alias invalid"},
        {0x95, "packet too large"},
        {0x96, "message rate too high"},
        {0x97, "quota exceeded"},
        {0x98, "administrative action"},
        {0x99, "payload format invalid"},
        {0x9A, "retain not supported"},
        {0x9B, "QoS not supported"},
        {0x9C, "use another server"},
        {0x9D, "server moved"},
        {0x9F, "connection rate exceeded"},
        {0xA0, "maximum connect time"},
    }};
    for (const auto& [c, text] : kReasons)
        if (c == code)
            return QString::fromLatin1(text);
    return QStringLiteral("unknown reason %1").arg(code);
}

} // namespace vorn::mqtt::packet
