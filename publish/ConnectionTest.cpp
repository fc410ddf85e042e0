#include "publish/ConnectionTest.h"

#include "protocol/HandedOver.h"
#include "publish/Session.h"

#include <QPointer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#include <optional>
#include <thread>

namespace vorn::mqtt {

// What a try's thread and its owner share.
struct ConnectionTest::Shared {
    std::atomic<bool> dropped{false};
    std::mutex mutex; // guards owner
    ConnectionTest* owner = nullptr;

    void report(bool connected, const QString& text) {
        const std::lock_guard lock(mutex);
        if (owner == nullptr)
            return;
        ConnectionTest* to = owner;
        QMetaObject::invokeMethod(
            to, handedOver([to, connected, text] { emit to->finished(connected, text); }),
            Qt::QueuedConnection);
    }
};

namespace {

constexpr int kLoopWaitMs = 100;

struct MosquittoDelete {
    void operator()(mosquitto* m) const { mosquitto_destroy(m); }
};

// What the broker answered to one CONNECT; the libmosquitto callback's.
struct Answer {
    std::optional<int> code;
};

QString lowered(const char* text) {
    QString s = sentence(text);
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

// One CONNECT with `protocol`, until the broker answers, the connection
// fails, the time is up or the try is dropped. Empty text: ask again with
// MQTT 3.1.1.
QString tryOnce(const Settings& s, int protocol, int timeLimitMs,
                std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& dropped,
                bool& connected) {
    const QString where = QStringLiteral("%1:%2").arg(s.host).arg(s.port);
    const std::unique_ptr<mosquitto, MosquittoDelete> m(
        mosquitto_new(s.clientId.toUtf8().constData(), true, nullptr));
    if (!m)
        return QStringLiteral("Cannot make an MQTT client: %1").arg(std::strerror(errno));
    Answer answer;
    mosquitto_user_data_set(m.get(), &answer);
    mosquitto_connect_callback_set(
        m.get(), [](mosquitto*, void* user, int rc) { static_cast<Answer*>(user)->code = rc; });
    mosquitto_int_option(m.get(), MOSQ_OPT_PROTOCOL_VERSION, protocol);
    if (const int rc = setUpClient(m.get(), s); rc != MOSQ_ERR_SUCCESS)
        return QStringLiteral("Cannot set up the connection to %1: %2")
            .arg(where, lowered(mosquitto_strerror(rc)));
    int rc = mosquitto_connect_async(m.get(), s.host.toUtf8().constData(), s.port, 30);
    while (rc == MOSQ_ERR_SUCCESS && !answer.code && !dropped &&
           std::chrono::steady_clock::now() < deadline)
        rc = mosquitto_loop(m.get(), kLoopWaitMs, 1);
    const int error = errno;
    if (answer.code == 0) {
        connected = true;
        mosquitto_disconnect(m.get());
        mosquitto_loop(m.get(), kLoopWaitMs, 1);
        return QStringLiteral("Connected to %1").arg(where);
    }
    if (answer.code == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && protocol == MQTT_PROTOCOL_V5)
        return {};
    if (answer.code)
        return QStringLiteral("The broker at %1 refused: %2")
            .arg(where,
                 lowered(protocol == MQTT_PROTOCOL_V5 ? mosquitto_reason_string(*answer.code)
                                                      : mosquitto_connack_string(*answer.code)));
    if (rc == MOSQ_ERR_SUCCESS)
        return QStringLiteral("No answer from %1 within %2 s").arg(where).arg(timeLimitMs / 1000.0);
    return QStringLiteral("Cannot reach %1: %2")
        .arg(where, lowered(rc == MOSQ_ERR_ERRNO ? std::strerror(error) : mosquitto_strerror(rc)));
}

void run(const Settings& s, int timeLimitMs, ConnectionTest::Shared& shared) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    bool connected = false;
    QString text = tryOnce(s, MQTT_PROTOCOL_V5, timeLimitMs, deadline, shared.dropped, connected);
    if (text.isEmpty()) // an older broker
        text = tryOnce(s, MQTT_PROTOCOL_V311, timeLimitMs, deadline, shared.dropped, connected);
    shared.report(connected, text);
}

} // namespace

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent) {
    initialiseLibrary();
}

ConnectionTest::~ConnectionTest() {
    if (current_) {
        current_->dropped = true;
        const std::lock_guard lock(current_->mutex);
        current_->owner = nullptr;
    }
}

void ConnectionTest::start(const Settings& settings, int timeLimitMs) {
    if (current_) {
        current_->dropped = true;
        const std::lock_guard lock(current_->mutex);
        current_->owner = nullptr;
    }
    current_ = std::make_shared<Shared>();
    current_->owner = this;
    // Detached: it ends by itself within the time limit and holds what it uses.
    std::thread([settings, timeLimitMs, shared = current_] {
        run(settings, timeLimitMs, *shared);
    }).detach();
}

} // namespace vorn::mqtt
