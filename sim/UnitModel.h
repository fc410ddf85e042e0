#pragma once

#include "sim/Calibration.h"
#include "sim/CommandReader.h"
#include "sim/Frames.h"
#include "sim/Outbox.h"
#include "sim/Random.h"
#include "sim/Scenario.h"
#include "sim/Tyre.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::sim {

using std::chrono::milliseconds;

inline constexpr int kMaxWheels = 6;

// Report period of each wheel for the rate digits 0 to 7 of "IST".
inline constexpr std::array<milliseconds, 8> kRatePeriods{
    milliseconds{42},  milliseconds{84},   milliseconds{168},  milliseconds{336},
    milliseconds{672}, milliseconds{1300}, milliseconds{2600}, milliseconds{5200}};

struct UnitConfig {
    Scenario scenario = Scenario::Steady;
    int wheels = 4;         // 4 or 6
    std::uint64_t seed = 1; // the same seed and the same input give the same output
    int rate = 0;           // rate digit 0 to 7, see kRatePeriods
    bool shortForm = false; // wheels 0 to 3 use the short form on the serial line
};

enum class UnitMode { Normal, Learning, Test, Factory };

// The monitor unit as the program sees it through its links. Time moves only
// through advance(); what the unit sends piles up until it is taken.
class UnitModel {
public:
    // Throws std::invalid_argument for a wheel count other than 4 or 6 or a
    // rate digit outside 0 to 7.
    explicit UnitModel(const UnitConfig& config);

    void advance(milliseconds elapsed);

    // Raw bytes from the serial line, in any pieces.
    void receiveSerial(std::string_view bytes);
    // One USB output report of 9 bytes; other lengths are ignored.
    void receiveUsbReport(std::span<const std::uint8_t> report);

    // Serial bytes sent since the last call.
    std::string takeSerialBytes();
    // USB input reports sent since the last call.
    std::vector<UsbInReport> takeUsbReports();

    // The unit's time, safe to read on any thread (a clock made from it may
    // be handed to another thread, such as a writer's); only advance() moves it.
    milliseconds now() const { return now_.load(std::memory_order_acquire); }
    UnitMode mode() const { return mode_; }

    // Time from one report slot on the line to the next.
    milliseconds slotInterval() const;

private:
    void tick();
    void command(std::string_view text);
    bool plainCommand(std::string_view text);
    void startLearning();
    void endMode();
    void startTest();
    void startCalibration();
    void startFactory();
    void autoTransmitOn();
    void autoTransmitOff();
    void wheelCommand(int wheel);
    void setFrequency(std::string_view quad);
    void storeRadioSettings(std::string_view settings);

    void reportSlot();
    void calibrationStep();
    bool canReport(int wheel) const;
    void sendReport(int wheel);
    void sendNoise();
    bool flooding() const;
    void restartSlots() { nextSlot_ = now() + slotInterval(); }

    UnitConfig config_;
    Random random_;
    std::vector<Tyre> tyres_;
    int troubleWheel_;
    CommandReader reader_;
    Outbox outbox_;

    std::atomic<milliseconds> now_{milliseconds{0}};
    static_assert(std::atomic<milliseconds>::is_always_lock_free);
    milliseconds nextSlot_{0};
    int slotWheel_ = 0;
    int floodWheel_ = 0;

    UnitMode mode_ = UnitMode::Normal;
    std::array<bool, kMaxWheels> learned_{};
    int silentWheel_ = -1; // the wheel that keeps quiet in test mode
    milliseconds nextTestRf_{0};
    bool autoTransmit_ = true;
    int rate_;
    std::uint16_t frequency_ = 0x2CAA;
    std::optional<Calibration> calibration_;
    milliseconds nextCalibrationStep_{0};
};

} // namespace vorn::sim
