#pragma once

#include "publish/Backoff.h"
#include "publish/MqttSettings.h"
#include "publish/Payloads.h"

#include <QObject>
#include <QTimer>
#include <future>
#include <memory>
#include <thread>

namespace vorn::mqtt {

class Session;

// The connection to the broker. Our MQTT client runs on a thread of its own;
// publish() only hands the message over, so the caller never waits on the
// network. Only the latest message per topic is kept (a bounded number of
// topics): while the broker is away they wait there and go out, with
// "online" and everything retained, after each (re)connection. Lost
// connections are retried with back-off (1 s to 60 s unless told otherwise).
class MqttLink : public QObject {
    Q_OBJECT
public:
    explicit MqttLink(Settings settings, QObject* parent = nullptr, RetryTiming timing = {});
    // Says "offline" and disconnects, waiting a bounded time for the thread.
    ~MqttLink() override;
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Says "offline" and disconnects without waiting here; closed() follows
    // once that is done, or once the thread has had its bounded time.
    void close();
    void publish(const Message& message);
    // Topics held for sending or resending; bounded.
    std::size_t keptTopics() const;

signals:
    // A change of connection, or a failed publish, worth telling the user; on
    // the caller's thread.
    void connectionChanged(bool connected, const QString& text);
    // Home Assistant asked to acknowledge the alarm (the payload ACK on
    // <prefix>/<unit>/alarm/set); on the caller's thread.
    void acknowledgeRequested();
    // After close(): the connection is gone; destroying this costs no wait.
    void closed();

private:
    std::shared_ptr<Session> session_;
    std::future<void> finished_;
    std::thread thread_;
    QTimer closing_;
    int closingTicks_ = -1; // -1 until close()
};

} // namespace vorn::mqtt
