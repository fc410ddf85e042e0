// What publishing costs the GUI thread, and what it keeps while the broker
// is away: a state change must cost well under 50 us, and an hour of
// reports without a broker must leave memory flat.
#include "publish/MqttLink.h"
#include "publish/WheelPublisher.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <fstream>
#include <unistd.h>

namespace {

using namespace vorn;

// Nothing listens on port 1 of the loopback, so the link stays away.
mqtt::Settings unreachable() {
    mqtt::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = 1;
    s.unit = QStringLiteral("bench");
    return s;
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Feed {
    mqtt::MqttLink link{unreachable()};
    mqtt::WheelPublisher publisher{unreachable(),
                                   [this](const mqtt::Message& m) { link.publish(m); }};
    TyreStateTable state;
    qint64 nowMs = 0;

    Feed() {
        for (int w = 0; w < kShownWheels; ++w) {
            state.StoreSensorReport(w, 0, true, 64, 65);
            publisher.readingStored(w, 0);
        }
    }
    // One 100 ms refresh in which `changed` wheels have a new pressure.
    void refresh(int changed, qint64 stepMs) {
        for (int w = 0; w < changed; ++w)
            state.TyrePressure[static_cast<std::size_t>(w)] ^= 1;
        nowMs += stepMs;
        publisher.refreshed(state, 1, nowMs);
    }
};

// One wheel changed a second after its last message: the JSON is built and
// handed to the network thread.
void PublishedStateChange(benchmark::State& bench) {
    Feed feed;
    for (auto _ : bench)
        feed.refresh(1, mqtt::WheelPublisher::kMinGapMs);
}
BENCHMARK(PublishedStateChange)->Unit(benchmark::kMicrosecond);

// A refresh with nothing due, as nine in ten are.
void QuietRefresh(benchmark::State& bench) {
    Feed feed;
    for (auto _ : bench)
        feed.refresh(0, 100);
}
BENCHMARK(QuietRefresh)->Unit(benchmark::kMicrosecond);

// An hour of refreshes, every wheel changing each time, with no broker.
void HourWithoutBroker(benchmark::State& bench) {
    constexpr int kRefreshesPerHour = 36000;
    for (auto _ : bench) {
        Feed feed;
        feed.refresh(kShownWheels, 100); // the first messages, and their topics
        const long before = residentKiB();
        for (int i = 0; i < kRefreshesPerHour; ++i)
            feed.refresh(kShownWheels, 100);
        bench.counters["rss_growth_KiB"] = static_cast<double>(residentKiB() - before);
        bench.counters["kept_topics"] = static_cast<double>(feed.link.keptTopics());
    }
}
BENCHMARK(HourWithoutBroker)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
