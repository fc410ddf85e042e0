#include "link/TonePlayer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace vorn {
namespace {

int signChanges(const std::vector<std::int16_t>& s) {
    int changes = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        changes += (s[i - 1] < 0) != (s[i] < 0);
    return changes;
}

TEST(ToneSynthesis, SamplesHaveTheAskedFrequencyAndLength) {
    const struct {
        Tone tone;
        std::size_t samples;
    } cases[] = {{{2000, 100}, 4800}, {{2000, 50}, 2400}, {{1000, 400}, 19200}, {{440, 0}, 0}};
    for (const auto& c : cases) {
        const auto s = synthesizeTone(c.tone);
        ASSERT_EQ(s.size(), c.samples) << c.tone.hz << " Hz " << c.tone.ms << " ms";
        // A sine crosses zero twice a period; the fades may lose one crossing at each end.
        const int expected = 2 * c.tone.hz * c.tone.ms / 1000;
        EXPECT_NEAR(signChanges(s), expected, 2) << c.tone.hz << " Hz " << c.tone.ms << " ms";
    }
    const auto s = synthesizeTone({2000, 100});
    EXPECT_EQ(s.front(), 0); // faded in: no click
    EXPECT_GT(*std::max_element(s.begin(), s.end()), 8000);
}

struct Recording {
    std::mutex mutex;
    std::vector<std::size_t> played; // sample counts, in playing order
};

// Records what would have sounded; each play takes as long as a real device would, scaled down.
class RecordingOutput : public AudioOutput {
public:
    explicit RecordingOutput(std::shared_ptr<Recording> r) : recording_(std::move(r)) {}
    bool play(std::span<const std::int16_t> samples) override {
        std::this_thread::sleep_for(std::chrono::microseconds(samples.size()));
        std::lock_guard lock(recording_->mutex);
        recording_->played.push_back(samples.size());
        return true;
    }
    void idle() override {}

private:
    std::shared_ptr<Recording> recording_;
};

TEST(TonePlayer, PlaysInOrderAndCutsABacklogOfMoreThanASecond) {
    auto recorded = std::make_shared<Recording>();
    {
        TonePlayer player(std::make_unique<RecordingOutput>(recorded));
        player.playTone(1000, 400);
        player.playTone(2000, 50);
        for (int i = 0; i < 100; ++i)
            player.playTone(2000, 100); // a flood of replies
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::lock_guard lock(recorded->mutex);
    ASSERT_GE(recorded->played.size(), 2u);
    EXPECT_EQ(recorded->played[0], 19200u);
    EXPECT_EQ(recorded->played[1], 2400u);
    // 400 + 50 ms queued leave room for five 100 ms tones of the flood.
    EXPECT_LE(recorded->played.size(), 7u);
}

TEST(TonePlayer, WithoutASoundDeviceTonesAreDroppedQuietly) {
    class NoDevice : public AudioOutput {
    public:
        bool play(std::span<const std::int16_t>) override { return false; }
        void idle() override {}
    };
    TonePlayer player(std::make_unique<NoDevice>());
    for (int i = 0; i < 20; ++i)
        player.playTone(2000, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    player.playTone(2000, 100); // still taken: the failed ones left the backlog
}

} // namespace
} // namespace vorn
