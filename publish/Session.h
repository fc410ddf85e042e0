#pragma once

#include "publish/Backoff.h"
#include "publish/MqttPacket.h"
#include "publish/MqttSettings.h"
#include "publish/Payloads.h"
#include "publish/Tls.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace vorn::mqtt {

class MqttClient;

// CONNECT for `settings` in `version`, without a will.
packet::Connect connectFor(const Settings& settings, packet::Version version);
// The TLS files of `settings`; none when it publishes in plain text.
std::optional<TlsFiles> tlsFilesOf(const Settings& settings);

// What the network thread and its owner share: the latest message per
// topic, and the request to stop. The connection itself lives on the network
// thread only. After every (re)connection it listens on the alarm's set
// topic, for Home Assistant's acknowledgement.
class Session {
public:
    using Notify = std::function<void(bool connected, const QString& text)>;
    using Acknowledge = std::function<void()>;
    static constexpr std::size_t kMaxTopics = 64;

    // `notify` and `acknowledge` are called on the network thread.
    Session(Settings settings, RetryTiming timing, Notify notify, Acknowledge acknowledge);

    // Owner's side.
    void keep(const Message& message);
    std::size_t keptTopics() const;
    void requestStop();

    // The network thread's body.
    void run();

private:
    // What the broker sends, on the network thread.
    void onConnect(int rc);
    void onDisconnect(int rc);
    void onSubscribe(int code);
    void onMessage(const packet::Incoming& message);

    bool stopRequested() const;
    // Waits `delay` unless asked to stop first.
    void pause(std::chrono::milliseconds delay);
    void connection();
    void sendWaiting();
    void send(const QString& topic, const QByteArray& payload, int qos, bool retain);
    void sayGoodbye();
    void tell(bool connected, const QString& text);
    void say(const QString& text);
    // Says `text` only the first time `said` is false.
    void sayOnce(bool& said, const QString& text);
    QString where() const;

    const Settings settings_;
    const QByteArray commandTopic_;
    mutable std::mutex mutex_; // guards the members down to wake_
    Notify notify_;
    Acknowledge acknowledge_;
    bool stop_ = false;
    struct Kept {
        Message message;
        bool waiting = true;
    };
    std::map<QString, Kept> kept_;
    std::condition_variable wake_;

    // The network thread's own.
    MqttClient* current_ = nullptr;
    Backoff backoff_;
    packet::Version protocol_ = packet::Version::V5;
    bool connected_ = false;
    bool refusedThisTry_ = false;
    bool takenOver_ = false;
    bool takeoverSaid_ = false;
    bool connectedSaid_ = false;
    QString lastProblem_;
    bool subscribeFailureSaid_ = false;
    bool tooLargeSaid_ = false;
    bool notUnderstoodSaid_ = false;
    bool retainedSaid_ = false;
};

} // namespace vorn::mqtt
