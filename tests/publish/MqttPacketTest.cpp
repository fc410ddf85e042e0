#include "publish/MqttPacket.h"

#include "publish/ConnectionTest.h"
#include "tests/support/TestSupport.h"

#include <QSignalSpy>
#include <arpa/inet.h>
#include <gtest/gtest.h>
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
         bytes({0x20, 11, 0, 0, 8, 0x27, 0, 0, 4, 0, 0x13, 0, 20}), Take::Packet, 0},
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

// A broker that knows only MQTT 3.1.1 answers the MQTT 5 CONNECT in its own
// words; the next try speaks 3.1.1 and gets in.
TEST(MqttPacket, AnOlderBrokerIsAskedAgainInMqtt311) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), size), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size), 0);
    ASSERT_EQ(::listen(listener, 2), 0);
    std::vector<int> levels;
    std::thread broker([&] {
        for (int i = 0; i < 2; ++i) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                return; // the test is over
            char connect[256];
            const ssize_t n = ::recv(fd, connect, sizeof connect, 0);
            const int level = n > 8 ? connect[8] : -1; // after the type, length and "MQTT"
            levels.push_back(level);
            const QByteArray answer = bytes({0x20, 2, 0, level == 4 ? 0 : 1});
            (void)::send(fd, answer.constData(), answer.size(), MSG_NOSIGNAL);
            char rest[64];
            while (::recv(fd, rest, sizeof rest, 0) > 0) { // until the client is done
            }
            ::close(fd);
        }
    });
    ConnectionTest test;
    QSignalSpy finished(&test, &ConnectionTest::finished);
    Settings s;
    s.host = "127.0.0.1";
    s.port = ntohs(a.sin_port);
    s.clientId = "old";
    test.start(s);
    const bool ended = finished.wait(15000);
    ::shutdown(listener, SHUT_RDWR); // a second try that never came ends the broker too
    broker.join();
    ::close(listener);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(finished.first().at(0).toBool()) << finished.first().at(1).toString().toStdString();
    EXPECT_EQ(levels, (std::vector<int>{5, 4}));
}

} // namespace
} // namespace vorn::mqtt::packet
