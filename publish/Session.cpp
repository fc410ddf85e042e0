#include "publish/Session.h"

#include "publish/MqttClient.h"

#include <algorithm>
#include <mutex>

namespace vorn::mqtt {

namespace {

constexpr std::uint16_t kKeepAliveSeconds = 30;
constexpr int kLoopWaitMs = 100; // how soon a stop or a new message is noticed
constexpr auto kConnectWait = std::chrono::seconds{10};
constexpr auto kGoodbyeWait = std::chrono::milliseconds{2000};
// While the broker takes no more, messages wait here rather than in a queue.
constexpr qsizetype kMaxBacklog = 256 * 1024;

QByteArray utf8(const QString& text) {
    return text.toUtf8();
}

} // namespace

packet::Connect connectFor(const Settings& settings, packet::Version version) {
    packet::Connect c;
    c.version = version;
    c.clientId = utf8(settings.clientId);
    c.user = utf8(settings.user);
    c.password = settings.password;
    c.keepAliveSeconds = kKeepAliveSeconds;
    return c;
}

std::optional<TlsFiles> tlsFilesOf(const Settings& settings) {
    if (!settings.tls())
        return std::nullopt;
    return TlsFiles{utf8(settings.caFile), utf8(settings.certFile), utf8(settings.keyFile)};
}

Session::Session(Settings settings, RetryTiming timing, Notify notify, Acknowledge acknowledge)
    : settings_(std::move(settings)), commandTopic_(utf8(Topics(settings_).alarmSet())),
      notify_(std::move(notify)), acknowledge_(std::move(acknowledge)), backoff_(timing) {}

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

void Session::run() {
    while (!stopRequested()) {
        connection();
        if (stopRequested())
            break;
        pause(backoff_.next(Backoff::Clock::now()));
    }
}

// One try: connect, then serve the connection until it ends or we stop.
void Session::connection() {
    refusedThisTry_ = false;
    takenOver_ = false;
    MqttClient client({[this](int rc) { onConnect(rc); }, [this](int rc) { onDisconnect(rc); },
                       [this](int code) { onSubscribe(code); },
                       [this](const packet::Incoming& m) { onMessage(m); }});
    current_ = &client;
    // MQTT 5, where the broker says why it ends a connection: that tells a
    // takeover by another client with our id from any other loss.
    packet::Connect connect = connectFor(settings_, protocol_);
    connect.willTopic = utf8(Topics(settings_).availability());
    connect.willPayload = kOffline;
    connect.willQos = 1;
    connect.willRetain = true;
    const auto tls = tlsFilesOf(settings_);
    QString why =
        client.open(utf8(settings_.host), settings_.port, tls ? &*tls : nullptr, connect,
                    MqttClient::Clock::now() + kConnectWait, [this] { return stopRequested(); });
    if (why.isEmpty()) {
        while (!stopRequested() && client.serve(kLoopWaitMs))
            if (connected_)
                sendWaiting();
        why = client.why();
    }
    if (stopRequested()) {
        sayGoodbye();
        current_ = nullptr;
        return;
    }
    current_ = nullptr;
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
    tell(false, (wasConnected ? QStringLiteral("lost the broker at %1: %2; retrying")
                              : QStringLiteral("cannot connect to %1: %2; retrying"))
                    .arg(where(), why));
}

void Session::onConnect(int rc) {
    if (rc == packet::kUnsupportedProtocolVersion && protocol_ == packet::Version::V5) {
        protocol_ = packet::Version::V311; // an older broker: the next try speaks 3.1.1
        refusedThisTry_ = true;
        return;
    }
    if (rc != 0) {
        refusedThisTry_ = true;
        tell(false, QStringLiteral("the broker at %1 refused the connection: %2; retrying")
                        .arg(where(), packet::reasonText(protocol_, rc)));
        return;
    }
    connected_ = true;
    backoff_.connected(Backoff::Clock::now());
    // The broker takes the subscription before "online": whoever sees us
    // online can already acknowledge. QoS 0: an acknowledgement arrives at
    // most once, never again after a reconnection, when it might silence a
    // newer alarm.
    current_->subscribe(commandTopic_, 0);
    send(Topics(settings_).availability(), kOnline, 1, true);
    {
        // Everything retained goes again: the broker may have lost it.
        const std::lock_guard lock(mutex_);
        for (auto& [name, kept] : kept_)
            kept.waiting = true;
    }
    tell(true, QStringLiteral("connected to %1").arg(where()));
}

void Session::onDisconnect(int rc) {
    if (protocol_ == packet::Version::V5 && rc == packet::kSessionTakenOver)
        takenOver_ = true;
}

void Session::onSubscribe(int code) {
    // 128 and above: the broker refused, for instance by its access list.
    if (code >= 128)
        sayOnce(
            subscribeFailureSaid_,
            QStringLiteral("the broker at %1 refused our subscription to %2; the alarm cannot be "
                           "acknowledged from Home Assistant")
                .arg(where(), QString::fromUtf8(commandTopic_)));
}

// Only the exact payload is looked at; everything else on the topic is
// dropped and said once of each kind, so a flood costs no log.
void Session::onMessage(const packet::Incoming& message) {
    if (message.topic != commandTopic_)
        return; // we subscribe to nothing else
    switch (alarmCommandOf(message.payload.constData(), static_cast<int>(message.payload.size()),
                           message.retain)) {
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
                    .arg(message.payload.size())
                    .arg(QString::fromUtf8(commandTopic_)));
        return;
    }
}

void Session::sendWaiting() {
    if (current_->backlog() > kMaxBacklog)
        return; // the broker takes no more for now; the latest of each topic waits
    std::vector<Message> batch;
    {
        // QoS 1 messages beyond what the broker takes unacknowledged wait for
        // a later round, newest value kept as ever.
        int room = current_->qos1Room();
        const std::lock_guard lock(mutex_);
        for (auto& [name, kept] : kept_) {
            if (!kept.waiting || (kept.message.qos > 0 && room-- <= 0))
                continue;
            batch.push_back(kept.message);
            kept.waiting = false;
        }
    }
    // Discovery (QoS 1) before the states it describes.
    std::stable_sort(batch.begin(), batch.end(),
                     [](const Message& a, const Message& b) { return a.qos > b.qos; });
    for (const Message& message : batch)
        send(message.topic, message.payload, message.qos, message.retain);
}

// A message over the broker's limit is dropped and said once; a new value
// for its topic tries again.
void Session::send(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    if (!current_->publish(utf8(topic), payload, qos, retain))
        sayOnce(tooLargeSaid_,
                QStringLiteral("cannot publish %1 to %2: larger than the broker takes; the "
                               "message is dropped")
                    .arg(topic, where()));
}

// A clean end: "offline" goes out before the disconnection, in order, and
// the broker closes the connection once it has both.
void Session::sayGoodbye() {
    if (!connected_)
        return;
    send(Topics(settings_).availability(), kOffline, 1, true);
    current_->disconnect();
    const auto deadline = std::chrono::steady_clock::now() + kGoodbyeWait;
    while (current_->serve(kLoopWaitMs) && std::chrono::steady_clock::now() < deadline) {
    }
    connected_ = false;
}

} // namespace vorn::mqtt
