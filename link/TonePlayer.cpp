#include "link/TonePlayer.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cmath>
#include <dlfcn.h>
#include <numbers>
#include <optional>
#include <type_traits>

namespace vorn {

namespace {

constexpr double kAmplitude = 0.5 * 32767;
constexpr int kFadeMs = 3;
constexpr int kMaxToneMs = 5000;
constexpr int kLowestHz = 20;
constexpr int kHighestHz = 20000;

// ALSA reports a missing card on standard error at every attempt; a machine
// without sound is normal for us, so those reports are not wanted.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

// The ALSA functions we call, looked up when the first tone sounds: a monitor
// that never raises an alarm never loads the sound library. Only the
// declarations come from the header.
struct Alsa {
    decltype(&::snd_pcm_open) open = nullptr;
    decltype(&::snd_pcm_set_params) setParams = nullptr;
    decltype(&::snd_pcm_writei) writei = nullptr;
    decltype(&::snd_pcm_recover) recover = nullptr;
    decltype(&::snd_pcm_drain) drain = nullptr;
    decltype(&::snd_pcm_close) close = nullptr;
};

// Null when the library or one of its functions is missing: no sound then.
const Alsa* alsa() {
    static const std::optional<Alsa> loaded = []() -> std::optional<Alsa> {
        void* lib = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr)
            return std::nullopt;
        const auto find = [lib](auto& to, const char* name) {
            to = reinterpret_cast<std::remove_reference_t<decltype(to)>>(::dlsym(lib, name));
            return to != nullptr;
        };
        Alsa a;
        decltype(&::snd_lib_error_set_handler) setHandler = nullptr;
        if (!find(a.open, "snd_pcm_open") || !find(a.setParams, "snd_pcm_set_params") ||
            !find(a.writei, "snd_pcm_writei") || !find(a.recover, "snd_pcm_recover") ||
            !find(a.drain, "snd_pcm_drain") || !find(a.close, "snd_pcm_close") ||
            !find(setHandler, "snd_lib_error_set_handler"))
            return std::nullopt;
        setHandler(&quietAlsaErrors);
        return a;
    }();
    return loaded ? &*loaded : nullptr;
}

class AlsaOutput : public AudioOutput {
public:
    ~AlsaOutput() override { idle(); }

    bool play(std::span<const std::int16_t> samples) override {
        if (!pcm_ && !open())
            return false;
        while (!samples.empty()) {
            snd_pcm_sframes_t n = api_->writei(pcm_, samples.data(), samples.size());
            if (n < 0)
                n = api_->recover(pcm_, static_cast<int>(n), 1);
            if (n < 0) {
                idle();
                return false;
            }
            samples = samples.subspan(static_cast<std::size_t>(n));
        }
        return true;
    }

    void idle() override {
        if (!pcm_)
            return;
        api_->drain(pcm_);
        api_->close(pcm_);
        pcm_ = nullptr;
    }

private:
    bool open() {
        // Without a device, look again only now and then, not for every tone.
        using Clock = std::chrono::steady_clock;
        if (Clock::now() < nextAttempt_)
            return false;
        api_ = alsa();
        if (api_ == nullptr || api_->open(&pcm_, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
            pcm_ = nullptr;
            nextAttempt_ = Clock::now() + std::chrono::seconds(30);
            return false;
        }
        if (api_->setParams(pcm_, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                            kToneSampleRate, 1, 100000) < 0) {
            api_->close(pcm_);
            pcm_ = nullptr;
            return false;
        }
        return true;
    }

    const Alsa* api_ = nullptr;
    snd_pcm_t* pcm_ = nullptr;
    std::chrono::steady_clock::time_point nextAttempt_{};
};

} // namespace

std::vector<std::int16_t> synthesizeTone(Tone tone, int sampleRate) {
    const int ms = std::clamp(tone.ms, 0, kMaxToneMs);
    const int hz = std::clamp(tone.hz, kLowestHz, kHighestHz);
    const auto count = static_cast<std::size_t>(std::int64_t{sampleRate} * ms / 1000);
    const auto fade = std::min(count / 2, static_cast<std::size_t>(sampleRate * kFadeMs / 1000));
    std::vector<std::int16_t> samples(count);
    const double step = 2 * std::numbers::pi * hz / sampleRate;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t edge = std::min(i, count - 1 - i);
        const double gain = edge < fade ? static_cast<double>(edge) / fade : 1.0;
        samples[i] = static_cast<std::int16_t>(std::lround(kAmplitude * gain * std::sin(step * i)));
    }
    return samples;
}

std::unique_ptr<AudioOutput> makeAlsaOutput() {
    return std::make_unique<AlsaOutput>();
}

TonePlayer::TonePlayer(std::unique_ptr<AudioOutput> output)
    : output_(std::move(output)), thread_([this](std::stop_token stop) { run(stop); }) {}

// The thread is told to stop and joined first; a tone that is sounding ends.
TonePlayer::~TonePlayer() = default;

void TonePlayer::playTone(int hz, int ms) {
    if (ms <= 0)
        return;
    {
        std::lock_guard lock(mutex_);
        if (queuedMs_ + ms > kMaxBacklogMs)
            return;
        queue_.push_back({hz, ms});
        queuedMs_ += ms;
    }
    wake_.notify_one();
}

void TonePlayer::run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        Tone tone{};
        {
            std::unique_lock lock(mutex_);
            if (queue_.empty()) {
                lock.unlock();
                output_->idle();
                lock.lock();
            }
            if (!wake_.wait(lock, stop, [this] { return !queue_.empty(); }))
                return;
            tone = queue_.front();
            queue_.pop_front();
        }
        output_->play(synthesizeTone(tone));
        std::lock_guard lock(mutex_);
        queuedMs_ -= tone.ms;
    }
}

} // namespace vorn
