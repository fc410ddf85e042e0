#pragma once

#include <cstdint>

namespace vorn::sim {

// A small generator whose sequence depends only on the seed, on every
// platform and library (the standard distributions do not promise that).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A whole number from `low` to `high`, both included; needs low <= high.
    int between(int low, int high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<int>(next() % span);
    }

    // True `num` times in `den`.
    bool chance(int num, int den) { return between(1, den) <= num; }

private:
    std::uint64_t state_;
};

} // namespace vorn::sim
