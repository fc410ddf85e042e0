// Writes readings through the history writer as fast as it can and prints
// the rows committed after every batch, until it is killed.
#include "history/HistoryWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    vorn::history::WriterConfig config;
    config.path = QString::fromLocal8Bit(argv[1]);
    config.batchEvery = std::chrono::milliseconds{20};
    config.committed = [](std::uint64_t rows) {
        std::printf("committed %llu\n", static_cast<unsigned long long>(rows));
        std::fflush(stdout);
    };
    vorn::history::HistoryWriter writer(config);
    // From now on, so the newest minute is still open when the kill comes.
    const std::int64_t start = QDateTime::currentMSecsSinceEpoch();
    for (std::int64_t i = 0;; ++i) {
        // Every reading differs from the one before, so each is kept.
        writer.addReading({start + i, static_cast<int>(i % 6), static_cast<std::int32_t>(i % 300),
                           65, 0, true, vorn::ReportLink::Serial});
        if (i % 500 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds{1});
    }
}
