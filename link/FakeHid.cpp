#include "link/FakeHid.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace vorn {

namespace {

using Report = std::vector<std::uint8_t>;

struct Device {
    HidEntry entry;
    bool present = false;
    std::uint64_t instance = 0;
    std::deque<Report> input;
    std::vector<Report> written;
    int failingOpens = 0;
    int opensBeforeUnplug = -1; // -1: never
    FakeHid::OutputHook hook;
};

} // namespace

struct FakeHid::State {
    // Guards everything below; inputChanged wakes readers when a report
    // arrives or an instance goes away.
    mutable std::mutex mutex;
    std::condition_variable inputChanged;
    std::deque<Device> devices; // in listing order
    std::uint64_t lastInstance = 0;
    std::uint64_t readCalls = 0;
    bool holdReads = false;
    bool holdWrites = false;
    int readsHeld = 0;
    int writesHeld = 0;
    int openHandles = 0;

    // Waits while `hold` is set; true when it did wait.
    bool waitWhileHeld(std::unique_lock<std::mutex>& lock, const bool& hold, int& held) {
        if (!hold)
            return false;
        ++held;
        inputChanged.notify_all();
        inputChanged.wait(lock, [&] { return !hold; });
        --held;
        return true;
    }

    Device* find(const std::string& path) {
        const auto it = std::find_if(devices.begin(), devices.end(),
                                     [&](const Device& d) { return d.entry.path == path; });
        return it == devices.end() ? nullptr : &*it;
    }
    // The device, when `instance` is the one plugged in now.
    Device* current(const std::string& path, std::uint64_t instance) {
        Device* d = find(path);
        return d && d->present && d->instance == instance ? d : nullptr;
    }
};

class FakeHid::Handle : public HidHandle {
public:
    // Made with the state's mutex held.
    Handle(std::shared_ptr<State> state, std::string path, std::uint64_t instance)
        : state_(std::move(state)), path_(std::move(path)), instance_(instance) {
        ++state_->openHandles;
    }
    ~Handle() override {
        std::lock_guard lock(state_->mutex);
        --state_->openHandles;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int read(std::span<std::uint8_t> buffer, int timeoutMs) override {
        std::unique_lock lock(state_->mutex);
        ++state_->readCalls;
        if (state_->waitWhileHeld(lock, state_->holdReads, state_->readsHeld))
            return state_->current(path_, instance_) ? 0 : -1;
        const auto ready = [this] {
            const Device* d = state_->current(path_, instance_);
            return !d || !d->input.empty();
        };
        if (timeoutMs < 0)
            state_->inputChanged.wait(lock, ready);
        else
            state_->inputChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        Device* d = state_->current(path_, instance_);
        if (!d)
            return -1;
        if (d->input.empty())
            return 0;
        const Report report = std::move(d->input.front());
        d->input.pop_front();
        const std::size_t n = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), n, buffer.begin());
        return static_cast<int>(n);
    }

    int write(std::span<const std::uint8_t> report) override {
        OutputHook hook;
        {
            std::unique_lock lock(state_->mutex);
            state_->waitWhileHeld(lock, state_->holdWrites, state_->writesHeld);
            Device* d = state_->current(path_, instance_);
            if (!d)
                return -1;
            d->written.emplace_back(report.begin(), report.end());
            hook = d->hook;
        }
        if (hook)
            hook(report);
        return static_cast<int>(report.size());
    }

private:
    std::shared_ptr<State> state_;
    const std::string path_;
    const std::uint64_t instance_;
};

FakeHid::FakeHid() : state_(std::make_shared<State>()) {}

FakeHid::~FakeHid() = default;

void FakeHid::plug(const HidEntry& entry) {
    {
        std::lock_guard lock(state_->mutex);
        Device* d = state_->find(entry.path);
        if (!d)
            d = &state_->devices.emplace_back();
        d->entry = entry;
        d->present = true;
        d->instance = ++state_->lastInstance;
        d->input.clear();
    }
    state_->inputChanged.notify_all();
}

void FakeHid::unplug(const std::string& path) {
    {
        std::lock_guard lock(state_->mutex);
        Device* d = state_->find(path);
        if (!d)
            return;
        d->present = false;
        d->input.clear();
    }
    state_->inputChanged.notify_all();
}

void FakeHid::replug(const std::string& path) {
    HidEntry entry;
    {
        std::lock_guard lock(state_->mutex);
        const Device* d = state_->find(path);
        if (!d)
            return;
        entry = d->entry;
    }
    plug(entry);
}

void FakeHid::failOpens(const std::string& path, int count) {
    std::lock_guard lock(state_->mutex);
    if (Device* d = state_->find(path))
        d->failingOpens = std::max(count, 0);
}

bool FakeHid::pushReport(const std::string& path, std::span<const std::uint8_t> report) {
    if (report.empty() || report.size() > kMaxReportSize)
        return false;
    {
        std::lock_guard lock(state_->mutex);
        Device* d = state_->find(path);
        if (!d || !d->present || d->input.size() >= kQueueLimit)
            return false;
        d->input.emplace_back(report.begin(), report.end());
    }
    state_->inputChanged.notify_all();
    return true;
}

std::vector<std::vector<std::uint8_t>> FakeHid::writtenReports(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    const Device* d = state_->find(path);
    return d ? d->written : std::vector<Report>{};
}

void FakeHid::setOutputHook(const std::string& path, OutputHook hook) {
    std::lock_guard lock(state_->mutex);
    if (Device* d = state_->find(path))
        d->hook = std::move(hook);
}

void FakeHid::unplugAfterOpens(const std::string& path, int opens) {
    std::lock_guard lock(state_->mutex);
    if (Device* d = state_->find(path))
        d->opensBeforeUnplug = std::max(opens, 0);
}

void FakeHid::holdReads(bool hold) {
    {
        std::lock_guard lock(state_->mutex);
        state_->holdReads = hold;
    }
    state_->inputChanged.notify_all();
}

void FakeHid::holdWrites(bool hold) {
    {
        std::lock_guard lock(state_->mutex);
        state_->holdWrites = hold;
    }
    state_->inputChanged.notify_all();
}

int FakeHid::readsHeld() const {
    std::lock_guard lock(state_->mutex);
    return state_->readsHeld;
}

int FakeHid::writesHeld() const {
    std::lock_guard lock(state_->mutex);
    return state_->writesHeld;
}

int FakeHid::openHandles() const {
    std::lock_guard lock(state_->mutex);
    return state_->openHandles;
}

std::uint64_t FakeHid::readCalls() const {
    std::lock_guard lock(state_->mutex);
    return state_->readCalls;
}

std::vector<HidEntry> FakeHid::enumerate(std::uint16_t, std::uint16_t) {
    std::lock_guard lock(state_->mutex);
    std::vector<HidEntry> entries;
    for (const Device& d : state_->devices)
        if (d.present)
            entries.push_back(d.entry);
    return entries;
}

std::unique_ptr<HidHandle> FakeHid::open(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    Device* d = state_->find(path);
    if (!d || !d->present)
        return nullptr;
    if (d->failingOpens > 0) {
        --d->failingOpens;
        return nullptr;
    }
    auto handle = std::make_unique<Handle>(state_, path, d->instance);
    if (d->opensBeforeUnplug > 0 && --d->opensBeforeUnplug == 0) {
        d->present = false; // as unplug(), already holding the lock
        d->input.clear();
        d->opensBeforeUnplug = -1;
        state_->inputChanged.notify_all();
    }
    return handle;
}

} // namespace vorn
