#include "publish/MqttPacket.h"

#include "publish/ConnectionTest.h"
#include "publish/MqttLink.h"
#include "tests/support/TestSupport.h"

#include <QSignalSpy>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vorn::mqtt::packet {
namespace {

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list)
        out.append(static_cast<char>(b));
    return out;
}

// What a broker may send, whole, cut short or broken: what each is taken as.
TEST(MqttPacket, WhatTheBrokerSendsIsReadOrRefusedNeverReadPastItsEnd) {
    const struct {
        const char* what;
        Version version;
        QByteArray in;
        Take took;
        std::optional<int> code; // of a CONNACK, SUBACK or DISCONNECT
    } cases[] = {
        {"accepted, with limits", Version::V5,
         bytes({0x20, 14, 0, 0, 11, 0x27, 0, 0, 4, 0, 0x13, 0, 20, 0x21, 0, 2}), Take::Packet, 0},
        {"a property running past the rest",
         Version::V5,
         bytes({0x20, 5, 0, 0, 2, 0x21, 0}),
         Take::Packet,
         {}},
        {"not authorized", Version::V5, bytes({0x20, 3, 0, 0x87, 0}), Take::Packet, 0x87},
        {"an older broker's refusal of MQTT 5", Version::V5, bytes({0x20, 2, 0, 1}), Take::Packet,
         kUnsupportedProtocolVersion},
        {"3.1.1 not authorized", Version::V311, bytes({0x20, 2, 0, 5}), Take::Packet, 5},
        {"CONNACK cut inside its body", Version::V5, bytes({0x20, 3, 0}), Take::NeedMore, {}},
        {"CONNACK with too short a body", Version::V5, bytes({0x20, 1, 0}), Take::Packet, {}},
        {"refused subscription", Version::V5, bytes({0x90, 4, 0, 1, 0, 0x87}), Take::Packet, 0x87},
        {"SUBACK whose properties run past it",
         Version::V5,
         bytes({0x90, 4, 0, 1, 9, 0}),
         Take::Packet,
         {}},
        {"taken over", Version::V5, bytes({0xE0, 2, 0x8E, 0}), Take::Packet, kSessionTakenOver},
        {"DISCONNECT without a reason", Version::V5, bytes({0xE0, 0}), Take::Packet, 0},
        {"a length of five bytes",
         Version::V5,
         bytes({0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}),
         Take::Malformed,
         {}},
        {"a length beyond what we take",
         Version::V5,
         bytes({0x30, 0x81, 0x80, 0x10}),
         Take::Malformed,
         {}},
        {"a length cut short", Version::V5, bytes({0x30, 0x81}), Take::NeedMore, {}},
    };
    for (const auto& c : cases) {
        QByteArray buffer = c.in;
        if (c.took == Take::Packet)
            buffer += bytes({0xD0, 0}); // a PINGRESP behind it
        Packet p;
        ASSERT_EQ(take(buffer, p), c.took) << c.what;
        if (c.took != Take::Packet)
            continue;
        const auto ack = connAck(c.version, p);
        const auto code = p.type == Type::ConnAck  ? (ack ? std::optional(ack->code) : std::nullopt)
                          : p.type == Type::SubAck ? subAckCode(c.version, p)
                                                   : disconnectCode(c.version, p);
        EXPECT_EQ(code, c.code) << c.what;
        if (ack && ack->code == 0 && c.version == Version::V5) { // the broker's limits are kept
            EXPECT_EQ(ack->maxPacket, 1024u);
            EXPECT_EQ(ack->keepAliveSeconds, 20);
            EXPECT_EQ(ack->receiveMaximum, 2);
        }
        ASSERT_EQ(take(buffer, p), Take::Packet) << c.what; // nothing of the next one was eaten
        EXPECT_EQ(p.type, Type::PingResp) << c.what;
    }
}

TEST(MqttPacket, AnIncomingMessageIsReadInBothVersionsAndABrokenOneIsNot) {
    const struct {
        Version version;
        QByteArray body;
        std::optional<QByteArray> payload;
    } cases[] = {
        {Version::V5, bytes({0, 3, 'a', '/', 'b', 0, 7, 2, 1, 1, 'A', 'C', 'K'}), "ACK"},
        {Version::V311, bytes({0, 3, 'a', '/', 'b', 0, 7, 'A', 'C', 'K'}), "ACK"},
        {Version::V5, bytes({0, 9, 'a', '/', 'b'}), {}},               // topic past the end
        {Version::V5, bytes({0, 3, 'a', '/', 'b', 0, 7, 9, 'A'}), {}}, // properties past it
    };
    for (const auto& c : cases) {
        const auto in = incoming(c.version, {Type::Publish, 0x03, c.body}); // QoS 1, retained
        ASSERT_EQ(in.has_value(), c.payload.has_value()) << c.body.toHex().toStdString();
        if (!in)
            continue;
        EXPECT_EQ(in->topic, "a/b");
        EXPECT_EQ(in->payload, *c.payload);
        EXPECT_EQ(in->id, 7);
        EXPECT_TRUE(in->retain);
    }
}

// A listening socket on the loopback for a broker of the test's own; shut
// down at the end, so a thread waiting in accept() ends too.
struct Listener {
    Listener() {
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        ::listen(fd, 2);
    }
    ~Listener() { ::close(fd); }
    void shutdown() const { ::shutdown(fd, SHUT_RDWR); }
    int port() const { return ntohs(address.sin_port); }
    Settings settings() const {
        Settings s;
        s.host = "127.0.0.1";
        s.port = port();
        s.clientId = "test";
        s.unit = "t";
        return s;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
};

void sendTo(int fd, const QByteArray& bytes) {
    (void)::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
}

// A broker that knows only MQTT 3.1.1 answers the MQTT 5 CONNECT in its own
// words; the next try speaks 3.1.1 and gets in.
TEST(MqttPacket, AnOlderBrokerIsAskedAgainInMqtt311) {
    const Listener listener;
    std::vector<int> levels;
    std::thread broker([&] {
        for (int i = 0; i < 2; ++i) {
            const int fd = ::accept(listener.fd, nullptr, nullptr);
            if (fd < 0)
                return; // the test is over
            char connect[256];
            const ssize_t n = ::recv(fd, connect, sizeof connect, 0);
            const int level = n > 8 ? connect[8] : -1; // after the type, length and "MQTT"
            levels.push_back(level);
            sendTo(fd, bytes({0x20, 2, 0, level == 4 ? 0 : 1}));
            char rest[64];
            while (::recv(fd, rest, sizeof rest, 0) > 0) { // until the client is done
            }
            ::close(fd);
        }
    });
    ConnectionTest test;
    QSignalSpy finished(&test, &ConnectionTest::finished);
    test.start(listener.settings());
    const bool ended = finished.wait(15000);
    listener.shutdown(); // a second try that never came ends the broker too
    broker.join();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(finished.first().at(0).toBool()) << finished.first().at(1).toString().toStdString();
    EXPECT_EQ(levels, (std::vector<int>{5, 4}));
}

// A broker that takes one QoS 1 message unacknowledged gets the next only
// once it has acknowledged the one before, and in the end gets them all:
// "online" and the three kept. It acknowledges when the client goes quiet.
TEST(MqttPacket, NoMoreQos1MessagesGoOutThanTheBrokerTakesUnacknowledged) {
    const Listener listener;
    std::size_t received = 0, most = 0;
    std::thread broker([&] {
        const int fd = ::accept(listener.fd, nullptr, nullptr);
        if (fd < 0)
            return;
        sendTo(fd, bytes({0x20, 6, 0, 0, 3, 0x21, 0, 1})); // receive maximum 1
        std::vector<std::uint16_t> unacknowledged;
        QByteArray in;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds{20};
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) == 0) {
                if (unacknowledged.empty() && received >= 4)
                    break;
                if (!unacknowledged.empty()) {
                    sendTo(fd, pubAck(Version::V5, unacknowledged.front()));
                    unacknowledged.erase(unacknowledged.begin());
                }
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            in.append(chunk, n);
            for (Packet packet; take(in, packet) == Take::Packet;) {
                const auto message = incoming(Version::V5, packet);
                if (message && message->qos == 1) {
                    unacknowledged.push_back(message->id);
                    ++received;
                    most = std::max(most, unacknowledged.size());
                }
            }
        }
        ::close(fd);
    });
    {
        MqttLink link(listener.settings(), nullptr,
                      {std::chrono::milliseconds{10}, std::chrono::milliseconds{100},
                       std::chrono::seconds{60}});
        for (const char* topic : {"vorn/t/a", "vorn/t/b", "vorn/t/c"})
            link.publish({topic, "x", true, 1});
        broker.join();
    }
    EXPECT_EQ(received, 4u);
    EXPECT_EQ(most, 1u);
}

} // namespace
} // namespace vorn::mqtt::packet
