// Any bytes from a client of the owner's socket, in chunks: the line reader
// must never give a line over its limit or with a line end inside, must stop
// for good once a line is too long, and every line must parse to a message
// or an error without crashing.
#include "monitor/LineReader.h"
#include "monitor/MonitorProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::LineReader reader;
    // The first byte picks the chunk size, as a socket hands bytes over in pieces.
    const std::size_t chunk = size > 0 ? data[0] % 64 + 1 : 1;
    std::size_t at = size > 0 ? 1 : 0;
    while (at < size) {
        const std::size_t n = std::min(chunk, size - at);
        const QByteArrayList lines = reader.feed(
            QByteArrayView(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n)));
        at += n;
        if (reader.overflowed() && reader.pending() != 0)
            std::abort();
        for (const QByteArray& line : lines) {
            if (line.size() > vorn::LineReader::kMaxLine || line.contains('\n'))
                std::abort();
            const vorn::wire::ParsedLine parsed = vorn::wire::parseClientLine(line);
            if (parsed.message.has_value() == !parsed.error.isEmpty())
                std::abort();
        }
    }
    return 0;
}
