#include "publish/MqttLink.h"

#include "protocol/HandedOver.h"
#include "publish/Session.h"

#include <mutex>

namespace vorn::mqtt {

namespace {

// Long enough for "offline" and the disconnection; a name lookup that hangs
// longer is left to finish on its own thread.
constexpr auto kShutdownWait = std::chrono::seconds{3};
// How often close() looks whether the thread is done.
constexpr int kClosingTickMs = 10;

} // namespace

MqttLink::MqttLink(Settings settings, QObject* parent, RetryTiming timing) : QObject(parent) {
    session_ = std::make_shared<Session>(
        std::move(settings), timing,
        [this](bool connected, const QString& text) {
            QMetaObject::invokeMethod(this, handedOver([this, connected, text] {
                                          emit connectionChanged(connected, text);
                                      }),
                                      Qt::QueuedConnection);
        },
        [this] {
            QMetaObject::invokeMethod(this, handedOver([this] { emit acknowledgeRequested(); }),
                                      Qt::QueuedConnection);
        });
    std::promise<void> done;
    finished_ = done.get_future();
    thread_ = std::thread([session = session_, done = std::move(done)]() mutable {
        session->run();
        done.set_value();
    });
}

void MqttLink::close() {
    session_->requestStop();
    if (closingTicks_ >= 0)
        return; // asked already
    closingTicks_ = 0;
    closing_.setInterval(kClosingTickMs);
    connect(&closing_, &QTimer::timeout, this, [this] {
        const bool done = finished_.wait_for(std::chrono::seconds{0}) == std::future_status::ready;
        if (!done &&
            ++closingTicks_ * kClosingTickMs < std::chrono::milliseconds(kShutdownWait).count())
            return;
        closing_.stop();
        if (!done)
            thread_.detach(); // it holds the session, which ends with it
        emit closed();
    });
    closing_.start();
}

MqttLink::~MqttLink() {
    session_->requestStop();
    if (!thread_.joinable())
        return; // close() let it go
    if (finished_.wait_for(kShutdownWait) == std::future_status::ready)
        thread_.join();
    else
        thread_.detach(); // it holds the session, which ends with it
}

void MqttLink::publish(const Message& message) {
    session_->keep(message);
}

std::size_t MqttLink::keptTopics() const {
    return session_->keptTopics();
}

} // namespace vorn::mqtt
