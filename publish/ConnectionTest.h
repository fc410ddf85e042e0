#pragma once

#include "publish/MqttSettings.h"

#include <QObject>
#include <memory>

namespace vorn::mqtt {

// One try to connect to a broker with the settings as typed, on a thread of
// its own and bounded in time, so the caller never waits: it connects,
// disconnects at once, publishes nothing and leaves no will. The outcome
// comes back as finished() on the caller's thread, in words: "Connected to
// 127.0.0.1:1883", "The broker at 127.0.0.1:1883 refused: not authorized",
// "Cannot reach 127.0.0.1:1884: connection refused".
class ConnectionTest : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeLimitMs = 10'000;

    explicit ConnectionTest(QObject* parent = nullptr);
    // A try still under way ends on its own; its outcome is dropped.
    ~ConnectionTest() override;
    ConnectionTest(const ConnectionTest&) = delete;
    ConnectionTest& operator=(const ConnectionTest&) = delete;

    // Starts a try; one under way is dropped first.
    void start(const Settings& settings, int timeLimitMs = kTimeLimitMs);

    struct Shared;

signals:
    void finished(bool connected, const QString& text);

private:
    std::shared_ptr<Shared> current_;
};

} // namespace vorn::mqtt
