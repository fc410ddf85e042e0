// Any bytes as setdata.txt: reading, converting every line and writing back
// must never crash, and a file read and written again must read the same.
#include "monitor/SettingsFile.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const vorn::SettingsText text = vorn::SettingsText::fromBytes(bytes);
    for (int line = 0; line < vorn::kSettingsLines + 2; ++line) {
        try {
            (void)vorn::parseSettingInteger(text.line(line));
        } catch (const std::runtime_error&) {
        }
    }
    const QByteArray written = text.toBytes();
    if (vorn::SettingsText::fromBytes(written).toBytes() != written)
        std::abort();
    return 0;
}
