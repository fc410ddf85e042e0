#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace vorn {

// One tone: a sine wave of `hz` for `ms`.
struct Tone {
    int hz;
    int ms;
};

// Where tones are asked for; never blocks the caller.
class ToneSink {
public:
    virtual ~ToneSink() = default;
    virtual void playTone(int hz, int ms) = 0;
};

// Something that plays 16-bit mono samples, blocking until they are taken.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // False when there is no device; the samples are then dropped.
    virtual bool play(std::span<const std::int16_t> samples) = 0;
    // Lets the device go once the last samples have sounded.
    virtual void idle() = 0;
};

inline constexpr int kToneSampleRate = 48000;

// The samples of one tone, with a few milliseconds of fade at each end so the
// speaker does not click.
std::vector<std::int16_t> synthesizeTone(Tone tone, int sampleRate = kToneSampleRate);

// ALSA's default device; opened for each run of tones and let go after it.
std::unique_ptr<AudioOutput> makeAlsaOutput();

// Plays the tones asked for, in order and each for its full length, on a
// thread of its own. At most about a second of tones waits at any time: a
// flood of requests is cut rather than queued for minutes.
class TonePlayer : public ToneSink {
public:
    static constexpr int kMaxBacklogMs = 1000;

    explicit TonePlayer(std::unique_ptr<AudioOutput> output);
    ~TonePlayer() override;
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    void playTone(int hz, int ms) override;

private:
    void run(std::stop_token stop);

    std::unique_ptr<AudioOutput> output_; // used by the player thread only
    std::mutex mutex_;                    // guards queue_ and queuedMs_
    std::condition_variable_any wake_;
    std::deque<Tone> queue_;
    int queuedMs_ = 0;
    std::jthread thread_; // last: starts after everything it uses exists
};

} // namespace vorn
