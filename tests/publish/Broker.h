#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

namespace vorn::test {

// The child is killed when the test process ends, even by a crash, so no
// broker or program outlives a failed run.
void endsWithTheTest(QProcess& child);

// A real mosquitto broker on two free loopback ports: a plain listener and
// a TLS one that also asks for a client certificate, both asking for the
// user below; a throwaway CA signs the server's and the client's
// certificates, and a second CA that signed nothing stands for an untrusted
// one. It logs every packet to a file. Killed with the object.
class Broker {
public:
    static constexpr const char* kUser = "vorn";
    static constexpr const char* kPassword = "secret";
    Broker();
    ~Broker() { stop(); }
    void start();
    void stop();
    int plainPort() const { return plainPort_; }
    int tlsPort() const { return tlsPort_; }
    QString file(const QString& name) const { return dir_.filePath(name); }
    // The broker's log (every packet) so far, waiting up to `ms` for it to hold `part`.
    QString waitForLog(const QString& part, int ms = 8000) const;

private:
    QTemporaryDir dir_;
    int plainPort_, tlsPort_;
    QProcess process_;
};

struct Received {
    std::string topic, payload;
    bool retained = false;
};

// A libmosquitto subscriber on the broker's plain port; it subscribes again
// after every reconnection and keeps everything it receives. It publishes
// too, as Home Assistant would.
class Subscriber {
public:
    Subscriber(int port, std::vector<std::string> filters);
    ~Subscriber();
    void publish(const std::string& topic, const QByteArray& payload);
    // The first message from index `from` on whose topic holds `topicPart`
    // and payload holds `payloadPart`, waiting up to `ms`; an empty topic
    // when none came.
    Received waitFor(const std::string& topicPart, const std::string& payloadPart = {},
                     std::size_t from = 0, int ms = 8000);
    std::vector<Received> all();

private:
    std::vector<std::string> filters_;
    mosquitto* client_;
    std::mutex mutex_; // guards received_
    std::vector<Received> received_;
};

} // namespace vorn::test
