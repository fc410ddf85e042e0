#pragma once

#include "link/TonePlayer.h"

#include <functional>

namespace vorn {

// Where the owner's tones go: to an attached window that plays them when
// there is one, so that one alarm never sounds twice, otherwise here.
class ToneRouter : public ToneSink {
public:
    explicit ToneRouter(ToneSink& local) : local_(local) {}
    // True when a window took the tone; set by the owner's socket.
    void setRemote(std::function<bool(int hz, int ms)> remote) { remote_ = std::move(remote); }
    void playTone(int hz, int ms) override {
        if (!remote_ || !remote_(hz, ms))
            local_.playTone(hz, ms);
    }

private:
    ToneSink& local_;
    std::function<bool(int, int)> remote_;
};

} // namespace vorn
