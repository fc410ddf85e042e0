#include "link/TonePlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>
#include <mutex>

namespace vorn {
namespace {

TEST(ToneSynthesis, SamplesHaveTheAskedFrequencyAndLength) {
    for (const Tone tone : {Tone{2000, 100}, Tone{1000, 400}, Tone{440, 0}}) {
        const auto s = synthesizeTone(tone);
        ASSERT_EQ(s.size(), 48u * tone.ms) << tone.hz; // 48 kHz
        int signChanges = 0; // two a period; the fades may lose one at each end
        for (std::size_t i = 1; i < s.size(); ++i)
            signChanges += (s[i - 1] < 0) != (s[i] < 0);
        EXPECT_NEAR(signChanges, 2 * tone.hz * tone.ms / 1000, 2) << tone.hz;
    }
}

// Sounds nothing, with or without a device. Logs the sample count of each tone, and 0 when
// the device is let go after the last. While the test holds `mutex` the player waits in here.
struct RecordingOutput : AudioOutput {
    explicit RecordingOutput(bool device) : device(device) {}
    bool play(std::span<const std::int16_t> samples) override {
        std::lock_guard lock(mutex);
        log.push_back(samples.size());
        return device;
    }
    void idle() override {
        std::lock_guard lock(mutex);
        if (!log.empty() && log.back() != 0)
            log.push_back(0);
    }
    std::vector<std::size_t> takeUntilIdle() {
        EXPECT_TRUE(QTest::qWaitFor([&] {
            std::lock_guard lock(mutex);
            return !log.empty() && log.back() == 0;
        }));
        std::lock_guard lock(mutex);
        return std::exchange(log, {});
    }
    const bool device;
    std::mutex mutex;
    std::vector<std::size_t> log;
};

// Played or dropped, a tone leaves the backlog once the player is done with it.
TEST(TonePlayer, PlaysInOrderCutsABacklogOfMoreThanASecondAndWithoutADeviceDropsQuietly) {
    for (const bool device : {true, false}) {
        auto output = std::make_unique<RecordingOutput>(device);
        RecordingOutput& out = *output;
        TonePlayer player(std::move(output));
        {
            std::lock_guard lock(out.mutex);
            player.playTone(1000, 400);
            player.playTone(2000, 50);
            for (int i = 0; i < 100; ++i)
                player.playTone(2000, 100); // a flood: five fit beside the 450 ms before them
        }
        const std::vector<std::size_t> played{19200, 2400, 4800, 4800, 4800, 4800, 4800, 0};
        EXPECT_EQ(out.takeUntilIdle(), played) << device;
        player.playTone(1000, 200); // fits only once the flood has left the backlog
        EXPECT_EQ(out.takeUntilIdle(), (std::vector<std::size_t>{9600, 0})) << device;
    }
}

// The sound library is loaded at the first tone; ALSA's own null device
// stands in for a sound card.
TEST(TonePlayer, TheSoundLibraryIsLoadedForTheFirstToneAndPlaysIt) {
    const QTemporaryDir dir;
    const QByteArray config = (dir.path() + "/null-device.conf").toUtf8();
    QFile file(QString::fromUtf8(config));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("pcm.!default { type null }\n");
    file.close();
    qputenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + config);
    const auto output = makeAlsaOutput();
    EXPECT_TRUE(output->play(synthesizeTone({440, 50})));
    output->idle();
}

} // namespace
} // namespace vorn
