#pragma once

#include "publish/Backoff.h"
#include "publish/MqttSettings.h"
#include "publish/Payloads.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace vorn::mqtt {

// The user, the password and TLS of `settings` on a client; libmosquitto's
// result (MOSQ_ERR_SUCCESS when all was taken).
int setUpClient(mosquitto* m, const Settings& settings);
// libmosquitto's own start, once in the process.
void initialiseLibrary();
// libmosquitto's texts end with a full stop; ours go on after them.
QString sentence(const char* text);

// What the network thread and its owner share: the latest message per
// topic, and the request to stop. The libmosquitto handle itself lives on
// the network thread only. After every (re)connection it listens on the
// alarm's set topic, for Home Assistant's acknowledgement.
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

    // libmosquitto's callbacks, on the network thread.
    void onConnect(int rc);
    void onDisconnect(int rc);
    void onLog(int level, const char* text);
    void onSubscribe(int count, const int* grantedQos);
    void onMessage(const mosquitto_message& message);

private:
    bool stopRequested() const;
    // Waits `delay` unless asked to stop first.
    void pause(std::chrono::milliseconds delay);
    bool configure(mosquitto* m);
    void connection(mosquitto* m);
    void sendWaiting(mosquitto* m);
    void send(mosquitto* m, const QString& topic, const QByteArray& payload, int qos, bool retain);
    void sayGoodbye(mosquitto* m);
    void tell(bool connected, const QString& text);
    void say(const QString& text);
    // Says `text` only the first time `said` is false.
    void sayOnce(bool& said, const QString& text);
    void subscribe(mosquitto* m);
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
    mosquitto* current_ = nullptr;
    Backoff backoff_;
    int protocol_;
    bool connected_ = false;
    bool refusedThisTry_ = false;
    bool takenOver_ = false;
    bool takeoverSaid_ = false;
    bool connectedSaid_ = false;
    QString lastProblem_;
    std::set<int> publishFailuresSaid_;
    bool subscribeFailureSaid_ = false;
    bool notUnderstoodSaid_ = false;
    bool retainedSaid_ = false;
    std::string lastError_;
};

} // namespace vorn::mqtt
