#include "tests/publish/Broker.h"

#include <QFile>
#include <QtCore/qtestsupport_core.h>
#include <arpa/inet.h>
#include <csignal>
#include <mosquitto.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn::test {
namespace {

// The CAs, the server's certificate for the loopback address, the client's,
// and the user's password file.
constexpr const char* kMakeFiles = R"(set -e
k="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
for ca in ca other; do openssl req -x509 $k -keyout $ca.key -out $ca.crt -subj "/CN=VORN test $ca"; done
for who in server client; do openssl req -x509 $k -CA ca.crt -CAkey ca.key -keyout $who.key \
  -out $who.crt -subj /CN=$who -addext subjectAltName=IP:127.0.0.1,DNS:localhost; done
mosquitto_passwd -c -b passwd "$0" "$1")";

// Binds port 0 (any free one) and gives its number, or connects to `port`
// and says whether it was accepted.
int probe(int port, bool bind) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof a;
    auto* p = reinterpret_cast<sockaddr*>(&a);
    const bool ok = bind ? ::bind(fd, p, size) == 0 && ::getsockname(fd, p, &size) == 0
                         : ::connect(fd, p, size) == 0;
    ::close(fd);
    return bind ? ntohs(a.sin_port) : ok;
}

} // namespace

void endsWithTheTest(QProcess& child) {
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

Broker::Broker() : plainPort_(probe(0, true)), tlsPort_(probe(0, true)) {
    QProcess make;
    make.setWorkingDirectory(dir_.path());
    make.start("sh", {"-c", kMakeFiles, kUser, kPassword});
    if (!make.waitForFinished(30000) || make.exitCode() != 0)
        throw std::runtime_error("certificates: " + make.readAllStandardError().toStdString());
    QFile conf(file("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    const passwd* me = ::getpwuid(::geteuid());
    // Started as root, mosquitto would otherwise drop to a user who cannot read our folder.
    conf.write(QStringLiteral("user %1\nallow_anonymous false\npassword_file %2/passwd\n"
                              "listener %3 127.0.0.1\nlistener %4 127.0.0.1\ncafile %2/ca.crt\n"
                              "certfile %2/server.crt\nkeyfile %2/server.key\n"
                              "require_certificate true\nlog_dest file %2/broker.log\n"
                              "log_type all\n")
                   .arg(QString::fromLocal8Bit(me ? me->pw_name : "root"), dir_.path())
                   .arg(plainPort_)
                   .arg(tlsPort_)
                   .toUtf8());
    conf.close();
    start();
}

void Broker::start() {
    endsWithTheTest(process_);
    process_.start("mosquitto", {"-c", file("mosquitto.conf")});
    if (!QTest::qWaitFor([&] { return probe(plainPort_, false) && probe(tlsPort_, false); }, 10000))
        throw std::runtime_error("mosquitto did not start: " +
                                 process_.readAllStandardError().toStdString());
}

void Broker::stop() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString Broker::waitForLog(const QString& part, int ms) const {
    QFile log(file("broker.log"));
    QString text;
    (void)QTest::qWaitFor(
        [&] {
            if (log.isOpen() || log.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(log.readAll());
            return text.contains(part);
        },
        ms);
    return text;
}

Subscriber::Subscriber(int port, std::vector<std::string> filters)
    : filters_(std::move(filters)),
      client_((mosquitto_lib_init(), mosquitto_new(nullptr, true, this))) {
    mosquitto_username_pw_set(client_, Broker::kUser, Broker::kPassword);
    mosquitto_connect_callback_set(client_, [](mosquitto* m, void* self, int rc) {
        for (const std::string& f : static_cast<Subscriber*>(self)->filters_)
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, f.c_str(), 1);
    });
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* me = static_cast<Subscriber*>(self);
        const std::lock_guard lock(me->mutex_);
        me->received_.push_back({m->topic,
                                 std::string(static_cast<const char*>(m->payload), m->payloadlen),
                                 m->retain});
    });
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
}

Subscriber::~Subscriber() {
    // The loop ends by itself once it has disconnected. It is not cancelled:
    // a thread cancelled inside a call ThreadSanitizer intercepts ends with
    // that call's ignores still on, which the sanitizer reports.
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void Subscriber::publish(const std::string& topic, const QByteArray& payload) {
    mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.constData(), 1, false);
}

std::vector<Received> Subscriber::all() {
    const std::lock_guard lock(mutex_);
    return received_;
}

Received Subscriber::waitFor(const std::string& topicPart, const std::string& payloadPart,
                             std::size_t from, int ms) {
    Received found;
    (void)QTest::qWaitFor(
        [&] {
            const std::vector<Received> got = all();
            for (std::size_t i = from; i < got.size() && found.topic.empty(); ++i)
                if (got[i].topic.find(topicPart) != std::string::npos &&
                    got[i].payload.find(payloadPart) != std::string::npos)
                    found = got[i];
            return !found.topic.empty();
        },
        ms);
    return found;
}

} // namespace vorn::test
