// Any bytes from a broker, in chunks: packets are taken whole, never larger
// than we accept, and every reading of one either succeeds within its body
// or refuses it, in both protocol versions.
#include "publish/MqttPacket.h"

#include <cstdint>
#include <cstdlib>

using namespace vorn::mqtt::packet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the chunk size, as a socket hands bytes over in pieces.
    const std::size_t chunk = size > 0 ? data[0] % 64 + 1 : 1;
    QByteArray buffer;
    for (std::size_t at = size > 0 ? 1 : 0; at < size;) {
        const std::size_t n = std::min(chunk, size - at);
        buffer.append(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n));
        at += n;
        for (;;) {
            Packet p;
            const qsizetype before = buffer.size();
            const Take took = take(buffer, p);
            if (took != Take::Packet) {
                if (took == Take::Malformed)
                    return 0; // the connection ends here
                break;
            }
            if (buffer.size() >= before || p.body.size() > static_cast<qsizetype>(kMaxIncoming))
                std::abort();
            for (const Version v : {Version::V5, Version::V311}) {
                (void)subAckCode(v, p);
                (void)disconnectCode(v, p);
                if (const auto in = incoming(v, p);
                    in && (in->topic.size() + in->payload.size() > p.body.size() || in->qos > 2))
                    std::abort();
                if (const auto ack = connAck(v, p))
                    (void)reasonText(v, ack->code);
            }
        }
    }
    return 0;
}
