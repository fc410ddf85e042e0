#include "tests/publish/Broker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn::test {

namespace {

int socketTo(int port, bool bindIt) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto* p = reinterpret_cast<const sockaddr*>(&a);
    const int rc = bindIt ? ::bind(fd, p, sizeof a) : ::connect(fd, p, sizeof a);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int freePort() {
    const int fd = socketTo(0, true);
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool accepts(int port) {
    const int fd = socketTo(port, false);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

void run(const QString& program, const QStringList& args, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        throw std::runtime_error((program + " failed: " + p.readAllStandardError()).toStdString());
}

void makeCertificates(const QString& dir) {
    const QString openssl = QStringLiteral("openssl");
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    for (const QString ca : {"ca", "other"})
        run(openssl,
            QStringList{"req", "-x509"} + key +
                QStringList{"-keyout", ca + ".key", "-out", ca + ".crt", "-days", "2", "-subj",
                            "/CN=VORN test " + ca},
            dir);
    QFile ext(dir + "/server.ext");
    ext.open(QIODevice::WriteOnly);
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    ext.close();
    // The server's certificate names the loopback address; the client's is ours.
    for (const QString who : {"server", "client"}) {
        run(openssl,
            QStringList{"req"} + key +
                QStringList{"-keyout", who + ".key", "-out", who + ".csr", "-subj", "/CN=" + who},
            dir);
        run(openssl,
            {"x509", "-req", "-in", who + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", who + ".crt", "-days", "2", "-extfile", "server.ext"},
            dir);
    }
}

} // namespace

void endsWithTheTest(QProcess& child) {
    child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

Broker::Broker() : plainPort_(freePort()), tlsPort_(freePort()) {
    const QString d = dir_.path();
    makeCertificates(d);
    run("mosquitto_passwd", {"-c", "-b", "passwd", kUser, kPassword}, d);
    QFile conf(file("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    const passwd* me = ::getpwuid(::geteuid());
    // Started as root, mosquitto would otherwise drop to a user who cannot read our folder.
    conf.write(
        QStringLiteral("user %1\nallow_anonymous false\npassword_file %2/passwd\n"
                       "listener %3 127.0.0.1\n"
                       "listener %4 127.0.0.1\ncafile %2/ca.crt\n"
                       "certfile %2/server.crt\nkeyfile %2/server.key\nrequire_certificate true\n")
            .arg(QString::fromLocal8Bit(me ? me->pw_name : "root"), d)
            .arg(plainPort_)
            .arg(tlsPort_)
            .toUtf8());
    conf.close();
    start();
}

Broker::~Broker() {
    stop();
}

void Broker::start() {
    endsWithTheTest(process_);
    process_.start("mosquitto", {"-c", file("mosquitto.conf")});
    QElapsedTimer clock;
    clock.start();
    while (!(accepts(plainPort_) && accepts(tlsPort_)) && clock.elapsed() < 10000)
        QThread::msleep(20);
    if (!accepts(plainPort_))
        throw std::runtime_error("mosquitto did not start: " +
                                 process_.readAllStandardError().toStdString());
}

void Broker::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

Subscriber::Subscriber(int port, std::vector<std::string> filters) : filters_(std::move(filters)) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_username_pw_set(client_, Broker::kUser, Broker::kPassword);
    mosquitto_connect_callback_set(client_, [](mosquitto*, void* self, int rc) {
        if (rc == 0)
            static_cast<Subscriber*>(self)->onConnect();
    });
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m) {
        static_cast<Subscriber*>(self)->onMessage(
            {m->topic,
             std::string(static_cast<const char*>(m->payload),
                         static_cast<std::size_t>(m->payloadlen)),
             m->retain});
    });
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
}

Subscriber::~Subscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
}

void Subscriber::onConnect() {
    for (const std::string& f : filters_)
        mosquitto_subscribe(client_, nullptr, f.c_str(), 1);
}

void Subscriber::onMessage(Received r) {
    const std::lock_guard lock(mutex_);
    received_.push_back(std::move(r));
}

std::vector<Received> Subscriber::all() {
    const std::lock_guard lock(mutex_);
    return received_;
}

Received Subscriber::waitFor(const std::function<bool(const Received&)>& match, std::size_t from,
                             int ms) {
    QElapsedTimer clock;
    clock.start();
    do {
        {
            const std::lock_guard lock(mutex_);
            for (std::size_t i = from; i < received_.size(); ++i)
                if (match(received_[i]))
                    return received_[i];
        }
        QThread::msleep(20);
    } while (clock.elapsed() < ms);
    return {};
}

Received Subscriber::waitFor(const std::string& topic, const std::string& payloadPart,
                             std::size_t from, int ms) {
    return waitFor(
        [&](const Received& r) {
            return r.topic == topic && r.payload.find(payloadPart) != std::string::npos;
        },
        from, ms);
}

} // namespace vorn::test
