#include "publish/ConnectionTest.h"

#include "protocol/HandedOver.h"
#include "publish/MqttClient.h"
#include "publish/Session.h"

#include <QPointer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
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
constexpr auto kGoodbyeWait = std::chrono::milliseconds{500};

QString lowered(QString s) {
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

// One CONNECT in `version`, until the broker answers, the connection fails,
// the time is up or the try is dropped. Empty text: ask again with MQTT
// 3.1.1.
QString tryOnce(const Settings& s, packet::Version version, int timeLimitMs,
                std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& dropped,
                bool& connected) {
    const QString where = QStringLiteral("%1:%2").arg(s.host).arg(s.port);
    std::optional<int> answer;
    MqttClient client({[&answer](int rc) { answer = rc; }, {}, {}, {}});
    const auto tls = tlsFilesOf(s);
    QString why =
        client.open(s.host.toUtf8(), s.port, tls ? &*tls : nullptr, connectFor(s, version),
                    deadline, [&dropped] { return dropped.load(); });
    if (!why.isEmpty()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return QStringLiteral("No answer from %1 within %2 s")
                .arg(where)
                .arg(timeLimitMs / 1000.0);
        return QStringLiteral("Cannot reach %1: %2").arg(where, lowered(why));
    }
    bool alive = true;
    while (!answer && !dropped && std::chrono::steady_clock::now() < deadline &&
           (alive = client.serve(kLoopWaitMs))) {
    }
    if (answer == 0) {
        connected = true;
        client.disconnect();
        const auto end = std::chrono::steady_clock::now() + kGoodbyeWait;
        while (client.serve(kLoopWaitMs) && std::chrono::steady_clock::now() < end) {
        }
        return QStringLiteral("Connected to %1").arg(where);
    }
    if (answer == packet::kUnsupportedProtocolVersion && version == packet::Version::V5)
        return {};
    if (answer)
        return QStringLiteral("The broker at %1 refused: %2")
            .arg(where, packet::reasonText(version, *answer));
    if (alive)
        return QStringLiteral("No answer from %1 within %2 s").arg(where).arg(timeLimitMs / 1000.0);
    return QStringLiteral("Cannot reach %1: %2").arg(where, lowered(client.why()));
}

void run(const Settings& s, int timeLimitMs, ConnectionTest::Shared& shared) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    bool connected = false;
    QString text =
        tryOnce(s, packet::Version::V5, timeLimitMs, deadline, shared.dropped, connected);
    if (text.isEmpty()) // an older broker
        text = tryOnce(s, packet::Version::V311, timeLimitMs, deadline, shared.dropped, connected);
    shared.report(connected, text);
}

} // namespace

ConnectionTest::ConnectionTest(QObject* parent) : QObject(parent) {}

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
