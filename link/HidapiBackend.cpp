#include "link/HidBackend.h"

#include <hidapi.h>

namespace vorn {

namespace {

// hidapi keeps process-wide state between hid_init and hid_exit; the first
// backend made initialises it and the end of the process releases it.
bool hidapiReady() {
    struct Library {
        Library() : ok(hid_init() == 0) {}
        ~Library() { hid_exit(); }
        Library(const Library&) = delete;
        Library& operator=(const Library&) = delete;
        bool ok;
    };
    static const Library library;
    return library.ok;
}

struct DeviceCloser {
    void operator()(hid_device* device) const { hid_close(device); }
};
struct EnumerationFreer {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

using DevicePtr = std::unique_ptr<hid_device, DeviceCloser>;
using EnumerationPtr = std::unique_ptr<hid_device_info, EnumerationFreer>;

class HidapiHandle : public HidHandle {
public:
    explicit HidapiHandle(DevicePtr device) : device_(std::move(device)) {}

    int read(std::span<std::uint8_t> buffer, int timeoutMs) override {
        return hid_read_timeout(device_.get(), buffer.data(), buffer.size(), timeoutMs);
    }

    int write(std::span<const std::uint8_t> report) override {
        return hid_write(device_.get(), report.data(), report.size());
    }

private:
    DevicePtr device_;
};

class HidapiBackend : public HidBackend {
public:
    std::vector<HidEntry> enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
        std::vector<HidEntry> entries;
        if (!hidapiReady())
            return entries;
        const EnumerationPtr list(hid_enumerate(vendorId, productId));
        for (const hid_device_info* info = list.get(); info; info = info->next) {
            if (!info->path)
                continue;
            entries.push_back(
                {info->path, info->vendor_id, info->product_id, info->interface_number});
        }
        return entries;
    }

    std::unique_ptr<HidHandle> open(const std::string& path) override {
        if (!hidapiReady())
            return nullptr;
        DevicePtr device(hid_open_path(path.c_str()));
        if (!device)
            return nullptr;
        return std::make_unique<HidapiHandle>(std::move(device));
    }
};

} // namespace

std::unique_ptr<HidBackend> makeHidapiBackend() {
    return std::make_unique<HidapiBackend>();
}

} // namespace vorn
