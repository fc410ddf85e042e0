#include "publish/MqttLink.h"

#include "protocol/HandedOver.h"
#include "publish/Session.h"

#include <mosquitto.h>
#include <mutex>

namespace vorn::mqtt {

namespace {

// Long enough for "offline" and the disconnection; a name lookup that hangs
// longer is left to finish on its own thread.
constexpr auto kShutdownWait = std::chrono::seconds{3};

void initialiseLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttLink::MqttLink(Settings settings, QObject* parent, RetryTiming timing) : QObject(parent) {
    initialiseLibraryOnce();
    session_ = std::make_shared<Session>(
        std::move(settings), timing,
        [this](bool connected, const QString& text) {
            QMetaObject::invokeMethod(
                this,
                handedOver([this, connected, text] { emit connectionChanged(connected, text); }),
                Qt::QueuedConnection);
        },
        [this] {
            QMetaObject::invokeMethod(
                this, handedOver([this] { emit acknowledgeRequested(); }), Qt::QueuedConnection);
        });
    std::promise<void> done;
    finished_ = done.get_future();
    thread_ = std::thread([session = session_, done = std::move(done)]() mutable {
        session->run();
        done.set_value();
    });
}

MqttLink::~MqttLink() {
    session_->requestStop();
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
