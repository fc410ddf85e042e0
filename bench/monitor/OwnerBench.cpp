// What attached clients cost the owner: one evaluation tick whose table
// changed, told to no client and to 20 (the owner's CPU with 20 must stay
// within twice that with none). The clients' reading is not timed.
#include "link/FakeHid.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace vorn;

struct Silent : ToneSink {
    void playTone(int, int) override {}
};

struct Quiet : MessageSink {
    void show(const QString&, const QString&) override {}
    void note(const QString&) override {}
};

int connectTo(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy_n(name.constData(), name.size(), address.sun_path);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

void drain(const std::vector<int>& fds) {
    char bytes[65536];
    for (const int fd : fds)
        while (::read(fd, bytes, sizeof bytes) > 0) {
        }
}

void BM_OwnerTickWithClients(benchmark::State& state) {
    const QTemporaryDir dir;
    QFile settings(dir.filePath(QStringLiteral("setdata.txt")));
    settings.open(QIODevice::WriteOnly);
    settings.write("26\r\n45\r\n70\r\n0\r\n0\r\n4\r\n0\r\n0\r\n"); // USB: no serial port
    settings.close();
    Quiet messages;
    Silent tones;
    FakeHid hid;
    MonitorCore core({dir.path(), &messages, &tones, &hid});
    core.Timer1->stop(); // the benchmark drives the ticks
    core.Timer3->stop();
    MonitorServer server(core, messages);
    const QString path = dir.filePath(QStringLiteral("monitor.sock"));
    server.listen(path);
    std::vector<int> clients;
    for (int i = 0; i < state.range(0); ++i)
        clients.push_back(connectTo(path));
    while (server.clientCount() < static_cast<int>(clients.size()))
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    drain(clients);

    int step = 0;
    for (auto _ : state) {
        // A report for every wheel, as a streaming unit gives, then the tick.
        for (int wheel = 0; wheel < 4; ++wheel)
            core.state().StoreSensorReport(wheel, 0, true, 60 + (++step % 8), 65);
        core.Timer1Timer();
        QCoreApplication::processEvents(); // the writes to the clients go out here
        state.PauseTiming();
        drain(clients);
        state.ResumeTiming();
    }
    for (const int fd : clients)
        ::close(fd);
}
BENCHMARK(BM_OwnerTickWithClients)->Arg(0)->Arg(20)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    const QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
