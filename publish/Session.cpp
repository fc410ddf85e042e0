#include "publish/Session.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>

namespace vorn::mqtt {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopWaitMs = 100; // how soon a stop or a new message is noticed
constexpr auto kGoodbyeWait = std::chrono::milliseconds{2000};

struct MosquittoDelete {
    void operator()(mosquitto* m) const { mosquitto_destroy(m); }
};
using MosquittoPtr = std::unique_ptr<mosquitto, MosquittoDelete>;

Session& sessionOf(void* user) {
    return *static_cast<Session*>(user);
}

QByteArray utf8(const QString& text) {
    return text.toUtf8();
}

const char* orNull(const QByteArray& text) {
    return text.isEmpty() ? nullptr : text.constData();
}

} // namespace

Session::Session(Settings settings, RetryTiming timing, Notify notify, Acknowledge acknowledge)
    : settings_(std::move(settings)), commandTopic_(utf8(Topics(settings_).alarmSet())),
      notify_(std::move(notify)), acknowledge_(std::move(acknowledge)), backoff_(timing),
      protocol_(MQTT_PROTOCOL_V5) {}

void Session::keep(const Message& message) {
    const std::lock_guard lock(mutex_);
    auto it = kept_.find(message.topic);
    if (it == kept_.end()) {
        if (kept_.size() >= kMaxTopics)
            return; // a topic beyond the bound is dropped, never queued
        kept_.emplace(message.topic, Kept{message, true});
        return;
    }
    it->second = Kept{message, true};
}

std::size_t Session::keptTopics() const {
    const std::lock_guard lock(mutex_);
    return kept_.size();
}

void Session::requestStop() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        notify_ = nullptr; // the owner is going; nobody listens any more
        acknowledge_ = nullptr;
    }
    wake_.notify_all();
}

bool Session::stopRequested() const {
    const std::lock_guard lock(mutex_);
    return stop_;
}

void Session::pause(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, delay, [this] { return stop_; });
}

// A failure is said once until something changes, and a connection only
// when the user was last told of a failure (or never told anything).
void Session::tell(bool connected, const QString& text) {
    if (connected ? connectedSaid_ : text == lastProblem_)
        return;
    connectedSaid_ = connected;
    lastProblem_ = connected ? QString() : text;
    say(text);
}

void Session::say(const QString& text) {
    const std::lock_guard lock(mutex_);
    if (notify_)
        notify_(connected_, text);
}

void Session::sayOnce(bool& said, const QString& text) {
    if (!said)
        say(text);
    said = true;
}

QString Session::where() const {
    return QStringLiteral("%1:%2").arg(settings_.host).arg(settings_.port);
}

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

int setUpClient(mosquitto* m, const Settings& settings) {
    const QByteArray user = utf8(settings.user);
    int rc = MOSQ_ERR_SUCCESS;
    if (!user.isEmpty())
        rc = mosquitto_username_pw_set(m, user.constData(), orNull(settings.password));
    if (rc == MOSQ_ERR_SUCCESS && settings.tls()) {
        const QByteArray ca = utf8(settings.caFile);
        const QByteArray cert = utf8(settings.certFile);
        const QByteArray key = utf8(settings.keyFile);
        rc = mosquitto_tls_set(m, ca.constData(), nullptr, orNull(cert), orNull(key), nullptr);
        // The server's certificate and name are always checked.
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(m, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(m, false);
    }
    return rc;
}

QString sentence(const char* text) {
    QString s = QString::fromUtf8(text);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

bool Session::configure(mosquitto* m) {
    const QByteArray will = utf8(Topics(settings_).availability());
    int rc = mosquitto_will_set(m, will.constData(), static_cast<int>(kOffline.size()),
                                kOffline.constData(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = setUpClient(m, settings_);
    if (rc != MOSQ_ERR_SUCCESS)
        tell(false, QStringLiteral("cannot set up the connection to %1: %2")
                        .arg(where(), sentence(mosquitto_strerror(rc))));
    return rc == MOSQ_ERR_SUCCESS;
}

void Session::run() {
    const QByteArray clientId = utf8(settings_.clientId);
    MosquittoPtr m(mosquitto_new(clientId.constData(), true, this));
    if (!m) {
        tell(false, QStringLiteral("cannot make an MQTT client: %1")
                        .arg(QString::fromUtf8(std::strerror(errno))));
        return;
    }
    current_ = m.get();
    mosquitto_connect_callback_set(
        m.get(), [](mosquitto*, void* user, int rc) { sessionOf(user).onConnect(rc); });
    mosquitto_disconnect_callback_set(
        m.get(), [](mosquitto*, void* user, int rc) { sessionOf(user).onDisconnect(rc); });
    mosquitto_log_callback_set(m.get(), [](mosquitto*, void* user, int level, const char* text) {
        sessionOf(user).onLog(level, text);
    });
    mosquitto_subscribe_callback_set(
        m.get(), [](mosquitto*, void* user, int, int count, const int* granted) {
            sessionOf(user).onSubscribe(count, granted);
        });
    mosquitto_message_callback_set(m.get(),
                                   [](mosquitto*, void* user, const mosquitto_message* message) {
                                       if (message != nullptr)
                                           sessionOf(user).onMessage(*message);
                                   });
    if (!configure(m.get()))
        return;
    while (!stopRequested()) {
        connection(m.get());
        if (stopRequested())
            break;
        pause(backoff_.next(Backoff::Clock::now()));
    }
    sayGoodbye(m.get());
    current_ = nullptr;
}

// One try: connect, then serve the connection until it ends or we stop.
void Session::connection(mosquitto* m) {
    refusedThisTry_ = false;
    takenOver_ = false;
    lastError_.clear();
    const QByteArray host = utf8(settings_.host);
    // MQTT 5, where the broker says why it ends a connection: that tells a
    // takeover by another client with our id from any other loss.
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, protocol_);
    int rc = mosquitto_connect_async(m, host.constData(), settings_.port, kKeepAliveSeconds);
    while (rc == MOSQ_ERR_SUCCESS && !stopRequested()) {
        rc = mosquitto_loop(m, kLoopWaitMs, 1);
        if (rc == MOSQ_ERR_SUCCESS && connected_)
            sendWaiting(m);
    }
    if (stopRequested())
        return;
    const int error = errno;
    const bool wasConnected = connected_;
    connected_ = false;
    if (refusedThisTry_)
        return; // the broker's refusal was said by onConnect already
    if (takenOver_) {
        if (!takeoverSaid_)
            tell(false, QStringLiteral("another client with our id '%1' took over our "
                                       "connection to %2; retrying")
                            .arg(settings_.clientId, where()));
        takeoverSaid_ = true;
        return;
    }
    QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromUtf8(std::strerror(error))
                                          : sentence(mosquitto_strerror(rc));
    if (!lastError_.empty())
        reason += QStringLiteral(" (%1)").arg(QString::fromStdString(lastError_));
    tell(false, (wasConnected ? QStringLiteral("lost the broker at %1: %2; retrying")
                              : QStringLiteral("cannot connect to %1: %2; retrying"))
                    .arg(where(), reason));
}

void Session::onConnect(int rc) {
    if (rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && protocol_ == MQTT_PROTOCOL_V5) {
        protocol_ = MQTT_PROTOCOL_V311; // an older broker: the next try speaks 3.1.1
        refusedThisTry_ = true;
        return;
    }
    if (rc != 0) {
        refusedThisTry_ = true;
        const char* why = protocol_ == MQTT_PROTOCOL_V5 ? mosquitto_reason_string(rc)
                                                        : mosquitto_connack_string(rc);
        tell(false, QStringLiteral("the broker at %1 refused the connection: %2; retrying")
                        .arg(where(), sentence(why)));
        return;
    }
    connected_ = true;
    backoff_.connected(Backoff::Clock::now());
    // The broker takes the subscription before "online": whoever sees us
    // online can already acknowledge.
    subscribe(current_);
    send(current_, Topics(settings_).availability(), kOnline, 1, true);
    {
        // Everything retained goes again: the broker may have lost it.
        const std::lock_guard lock(mutex_);
        for (auto& [name, kept] : kept_)
            kept.waiting = true;
    }
    tell(true, QStringLiteral("connected to %1").arg(where()));
}

void Session::onDisconnect(int rc) {
    if (protocol_ == MQTT_PROTOCOL_V5 && rc == MQTT_RC_SESSION_TAKEN_OVER)
        takenOver_ = true;
}

void Session::onLog(int level, const char* text) {
    if (level == MOSQ_LOG_ERR && text != nullptr)
        lastError_.assign(text, strnlen(text, 300));
}

// QoS 0: an acknowledgement arrives at most once, never again after a
// reconnection, when it might silence a newer alarm.
void Session::subscribe(mosquitto* m) {
    const int rc = mosquitto_subscribe(m, nullptr, commandTopic_.constData(), 0);
    if (rc != MOSQ_ERR_SUCCESS)
        sayOnce(
            subscribeFailureSaid_,
            QStringLiteral("cannot listen on %1 at %2: %3; the alarm cannot be acknowledged "
                           "from Home Assistant")
                .arg(QString::fromUtf8(commandTopic_), where(), sentence(mosquitto_strerror(rc))));
}

void Session::onSubscribe(int count, const int* grantedQos) {
    // 128 and above: the broker refused, for instance by its access list.
    if (count >= 1 && grantedQos != nullptr && grantedQos[0] >= 128)
        sayOnce(
            subscribeFailureSaid_,
            QStringLiteral("the broker at %1 refused our subscription to %2; the alarm cannot be "
                           "acknowledged from Home Assistant")
                .arg(where(), QString::fromUtf8(commandTopic_)));
}

// Only the exact payload is looked at, in place; everything else on the
// topic is dropped and said once of each kind, so a flood costs no log.
void Session::onMessage(const mosquitto_message& message) {
    if (message.topic == nullptr || qstrcmp(message.topic, commandTopic_.constData()) != 0)
        return; // we subscribe to nothing else
    switch (alarmCommandOf(message.payload, message.payloadlen, message.retain)) {
    case AlarmCommand::Acknowledge: {
        const std::lock_guard lock(mutex_);
        if (acknowledge_)
            acknowledge_();
        return;
    }
    case AlarmCommand::Retained:
        sayOnce(retainedSaid_,
                QStringLiteral("ignored an ACK that the broker kept (retained) on %1: only one "
                               "sent now acknowledges the alarm; further ones are ignored silently")
                    .arg(QString::fromUtf8(commandTopic_)));
        return;
    case AlarmCommand::NotUnderstood:
        sayOnce(notUnderstoodSaid_,
                QStringLiteral("ignored a message of %1 bytes on %2: only the payload ACK "
                               "acknowledges the alarm; further ones are ignored silently")
                    .arg(message.payloadlen)
                    .arg(QString::fromUtf8(commandTopic_)));
        return;
    }
}

void Session::sendWaiting(mosquitto* m) {
    std::vector<Message> batch;
    {
        const std::lock_guard lock(mutex_);
        for (auto& [name, kept] : kept_) {
            if (kept.waiting)
                batch.push_back(kept.message);
            kept.waiting = false;
        }
    }
    // Discovery (QoS 1) before the states it describes.
    std::stable_sort(batch.begin(), batch.end(),
                     [](const Message& a, const Message& b) { return a.qos > b.qos; });
    for (const Message& message : batch)
        send(m, message.topic, message.payload, message.qos, message.retain);
}

// A message the library will not take is dropped; a new value for its topic,
// or the next connection, tries again. Each kind of failure is said once; a
// lost connection is said by connection() instead.
void Session::send(mosquitto* m, const QString& topic, const QByteArray& payload, int qos,
                   bool retain) {
    const QByteArray name = utf8(topic);
    const int rc = mosquitto_publish(m, nullptr, name.constData(), static_cast<int>(payload.size()),
                                     payload.constData(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST)
        return;
    if (publishFailuresSaid_.insert(rc).second)
        say(QStringLiteral("cannot publish %1 to %2: %3; the message is dropped")
                .arg(topic, where(), sentence(mosquitto_strerror(rc))));
}

// A clean end: "offline" goes out before the disconnection, in order.
void Session::sayGoodbye(mosquitto* m) {
    if (!connected_)
        return;
    send(m, Topics(settings_).availability(), kOffline, 1, true);
    mosquitto_disconnect(m);
    const auto deadline = std::chrono::steady_clock::now() + kGoodbyeWait;
    while (mosquitto_loop(m, kLoopWaitMs, 1) == MOSQ_ERR_SUCCESS &&
           std::chrono::steady_clock::now() < deadline) {
    }
    connected_ = false;
}

} // namespace vorn::mqtt
