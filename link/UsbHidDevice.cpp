#include "link/UsbHidDevice.h"

#include <algorithm>

namespace vorn {

namespace {

// Room for any report a full-speed device sends, so that a longer one is
// seen as such and dropped rather than cut to size.
constexpr std::size_t kReadBufferSize = 100;
constexpr std::size_t kBareReportSize = kUsbInReportSize - 1;

bool isUnit(const HidEntry& entry) {
    return entry.vendorId == kUnitVendorId && entry.productId == kUnitProductId;
}

} // namespace

UsbHidDevice::UsbHidDevice(HidBackend& backend) : backend_(backend) {}

UsbHidDevice::~UsbHidDevice() = default;

bool UsbHidDevice::FindUsbDevice() {
    for (const HidEntry& entry : backend_.enumerate(kUnitVendorId, kUnitProductId)) {
        if (!isUnit(entry))
            continue;
        // A stale or refused entry does not open; the next one may.
        if (!backend_.open(entry.path))
            continue;
        auto read = backend_.open(entry.path);
        auto write = backend_.open(entry.path);
        if (!read || !write)
            return false; // gone between the opens: no connection over a missing handle
        read_ = std::move(read);
        writer_.setHandle(std::move(write));
        return true;
    }
    return false;
}

bool UsbHidDevice::UsbReadReport(UsbInReport& out) {
    if (!read_)
        return false;
    std::array<std::uint8_t, kReadBufferSize> buffer{};
    const int n = read_->read(buffer, kReadTimeoutMs);
    if (n == static_cast<int>(kUsbInReportSize)) {
        std::copy_n(buffer.begin(), kUsbInReportSize, out.begin());
        return true;
    }
    if (n == static_cast<int>(kBareReportSize)) {
        out[0] = 0;
        std::copy_n(buffer.begin(), kBareReportSize, out.begin() + 1);
        return true;
    }
    return false;
}

bool UsbHidDevice::UsbWriteReport(std::span<const std::uint8_t, kUsbOutReportSize> report) {
    if (!writer_.hasHandle())
        return false;
    UsbWriter::Report bytes{};
    std::copy(report.begin(), report.end(), bytes.begin());
    bytes[0] = 0;
    return writer_.send(bytes);
}

} // namespace vorn
