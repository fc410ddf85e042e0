#include "link/UsbWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vorn {

struct UsbWriter::Shared {
    struct Pending {
        Report report;
        Clock::time_point commandTime;
    };
    // Guards everything below; wake tells the thread of new reports and of the end.
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Pending> queue;
    std::shared_ptr<HidHandle> handle; // a write under way keeps its own copy
    bool writing = false;
    bool ending = false;
    std::thread thread;
};

UsbWriter::UsbWriter() : shared_(std::make_shared<Shared>()) {
    shared_->thread = std::thread(&UsbWriter::run, shared_);
}

UsbWriter::~UsbWriter() {
    std::thread thread;
    bool stuck = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->ending = true;
        shared_->queue.clear();
        stuck = shared_->writing;
        thread = std::move(shared_->thread);
    }
    shared_->wake.notify_all();
    // An idle thread ends at once; one inside a write may stay there for
    // seconds, and ends by itself once the kernel lets it go.
    if (stuck)
        thread.detach();
    else
        thread.join();
}

void UsbWriter::setHandle(std::unique_ptr<HidHandle> handle) {
    std::lock_guard lock(shared_->mutex);
    shared_->handle = std::move(handle);
}

bool UsbWriter::hasHandle() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->handle != nullptr;
}

bool UsbWriter::send(const Report& report, Clock::time_point commandTime) {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->queue.size() >= kQueueLimit)
            return false;
        shared_->queue.push_back({report, commandTime});
    }
    shared_->wake.notify_all();
    return true;
}

void UsbWriter::discardPending() {
    std::lock_guard lock(shared_->mutex);
    shared_->queue.clear();
}

void UsbWriter::run(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->writing = false;
        shared->wake.wait(lock, [&] { return shared->ending || !shared->queue.empty(); });
        if (shared->ending)
            return;
        const Shared::Pending next = shared->queue.front();
        shared->queue.pop_front();
        if (Clock::now() - next.commandTime > kStartLimit || !shared->handle)
            continue; // too late, or nowhere to go: dropped silently
        const std::shared_ptr<HidHandle> handle = shared->handle;
        shared->writing = true;
        lock.unlock();
        handle->write(next.report);
        lock.lock();
    }
}

} // namespace vorn
