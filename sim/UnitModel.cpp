#include "sim/UnitModel.h"

#include <algorithm>
#include <stdexcept>

namespace vorn::sim {
namespace {

// The line must never carry more than 9600 baud allows (about 960 bytes a
// second): a long-form frame is 12 bytes, so a slot every 40 ms uses a third
// of the line, every 20 ms in test mode two thirds, leaving room for replies
// and noise.
constexpr milliseconds kMinSlot{40};
constexpr milliseconds kMinTestSlot{20};
// Test mode reports each wheel at least this often, so that only the silent
// wheel ages on the program's screen.
constexpr milliseconds kMaxTestPeriod{500};

constexpr milliseconds kPhysicsStep{Tyre::kStepMs};
constexpr milliseconds kSensorLostAfter{5000};
constexpr milliseconds kSensorDeadAfter{60'000};
constexpr milliseconds kFloodStart{2000};
constexpr milliseconds kFloodEnd{7000};
// A 12-byte frame every 8 ms is 150 bytes per 100 ms.
constexpr milliseconds kFloodEvery{8};
constexpr int kTestRfMinMs = 2000;
constexpr int kTestRfMaxMs = 5000;

Trouble troubleOf(Scenario scenario) {
    switch (scenario) {
    case Scenario::SlowLeak:
        return Trouble::Leak;
    case Scenario::HotTyre:
        return Trouble::Heat;
    case Scenario::Puncture:
        return Trouble::Puncture;
    case Scenario::ColdNight:
        return Trouble::ColdNight;
    default:
        return Trouble::None;
    }
}

CalibrationEnd calibrationEndOf(Scenario scenario) {
    switch (scenario) {
    case Scenario::CalibrationError:
        return CalibrationEnd::Error;
    case Scenario::CalibrationSilent:
        return CalibrationEnd::Silence;
    default:
        return CalibrationEnd::Success;
    }
}

const UnitConfig& checked(const UnitConfig& config) {
    if (config.wheels != 4 && config.wheels != kMaxWheels)
        throw std::invalid_argument("the unit has 4 or 6 wheels");
    if (config.rate < 0 || config.rate >= static_cast<int>(kRatePeriods.size()))
        throw std::invalid_argument("the rate digit is 0 to 7");
    return config;
}

} // namespace

UnitModel::UnitModel(const UnitConfig& config)
    : config_(checked(config)), random_(config.seed), troubleWheel_(0), rate_(config.rate) {
    for (int wheel = 0; wheel < config_.wheels; ++wheel)
        tyres_.emplace_back(wheel, random_);
    troubleWheel_ = random_.between(0, config_.wheels - 1);
    Tyre& troubled = tyres_[static_cast<std::size_t>(troubleWheel_)];
    troubled.setTrouble(troubleOf(config_.scenario));
    if (config_.scenario == Scenario::DeadSensor)
        troubled.setBatteryLow();
    // The weather is every tyre's.
    if (config_.scenario == Scenario::ColdNight)
        for (Tyre& tyre : tyres_)
            tyre.setTrouble(Trouble::ColdNight);
    learned_.fill(true);
    restartSlots();
}

milliseconds UnitModel::slotInterval() const {
    const milliseconds period = kRatePeriods[static_cast<std::size_t>(rate_)];
    if (mode_ == UnitMode::Test)
        return std::max(std::min(period / 2, kMaxTestPeriod) / config_.wheels, kMinTestSlot);
    return std::max(period / config_.wheels, kMinSlot);
}

void UnitModel::advance(milliseconds elapsed) {
    for (auto left = elapsed.count(); left > 0; --left)
        tick();
}

void UnitModel::receiveSerial(std::string_view bytes) {
    for (const std::string& text : reader_.feed(bytes))
        command(text);
}

void UnitModel::receiveUsbReport(std::span<const std::uint8_t> report) {
    if (const auto text = CommandReader::fromUsbReport(report))
        command(*text);
}

std::string UnitModel::takeSerialBytes() {
    return outbox_.takeSerial();
}

std::vector<UsbInReport> UnitModel::takeUsbReports() {
    return outbox_.takeUsb();
}

void UnitModel::tick() {
    const milliseconds at = now() + milliseconds{1};
    now_.store(at, std::memory_order_release);
    if (at % kPhysicsStep == milliseconds{0}) {
        for (Tyre& tyre : tyres_)
            tyre.step(random_);
    }
    if (calibration_ && at >= nextCalibrationStep_)
        calibrationStep();
    if (mode_ == UnitMode::Test && at >= nextTestRf_) {
        outbox_.sendFrame("TESTRF");
        nextTestRf_ = at + milliseconds{random_.between(kTestRfMinMs, kTestRfMaxMs)};
    }
    if (flooding() && at % kFloodEvery == milliseconds{0}) {
        if (autoTransmit_ && !calibration_ && canReport(floodWheel_))
            sendReport(floodWheel_);
        floodWheel_ = (floodWheel_ + 1) % config_.wheels;
    }
    if (at >= nextSlot_) {
        restartSlots();
        reportSlot();
    }
}

// Each slot belongs to the next wheel in turn; a wheel that cannot report
// leaves its slot empty, so the others keep their pace.
void UnitModel::reportSlot() {
    const int wheel = slotWheel_;
    slotWheel_ = (slotWheel_ + 1) % config_.wheels;
    if (!autoTransmit_ || calibration_)
        return;
    if (canReport(wheel))
        sendReport(wheel);
    if (config_.scenario == Scenario::NoisyLine && random_.chance(1, 4))
        sendNoise();
}

bool UnitModel::canReport(int wheel) const {
    if (wheel == troubleWheel_ &&
        ((config_.scenario == Scenario::SensorLost && now() >= kSensorLostAfter) ||
         (config_.scenario == Scenario::DeadSensor && now() >= kSensorDeadAfter)))
        return false;
    if (mode_ == UnitMode::Learning && !learned_[static_cast<std::size_t>(wheel)])
        return false;
    return !(mode_ == UnitMode::Test && wheel == silentWheel_);
}

void UnitModel::sendReport(int wheel) {
    const Tyre& tyre = tyres_[static_cast<std::size_t>(wheel)];
    const SensorReading reading{wheel, tyre.battery(), tyre.halfPsi(), tyre.temperatureRaw()};
    const std::string body = longReport(reading);
    std::string serialBody = (config_.shortForm && wheel < 4) ? shortReport(reading) : body;
    if (config_.scenario == Scenario::NoisyLine && random_.chance(1, 6)) {
        // The line damaged the last checksum digit; USB carries the report intact.
        char& last = serialBody.back();
        last = (last == '0') ? '1' : '0';
    }
    outbox_.sendSerialOnly(frame(serialBody));
    outbox_.sendUsbOnly(body);
}

// Stray bytes that never forge a frame mark.
void UnitModel::sendNoise() {
    std::string noise;
    for (int n = random_.between(1, 6); n > 0; --n) {
        char c = '$';
        while (c == '$' || c == '#')
            c = static_cast<char>(random_.between(0, 255));
        noise += c;
    }
    outbox_.sendSerialOnly(noise);
}

bool UnitModel::flooding() const {
    const milliseconds at = now();
    return config_.scenario == Scenario::Flood && at >= kFloodStart && at < kFloodEnd;
}

void UnitModel::calibrationStep() {
    for (const std::string& body : calibration_->step())
        outbox_.sendFrame(body);
    nextCalibrationStep_ = now() + milliseconds{Calibration::kStepMs};
    if (calibration_->finished()) {
        frequency_ = calibration_->frequency();
        calibration_.reset();
        restartSlots();
    }
}

void UnitModel::command(std::string_view text) {
    if (plainCommand(text))
        return;
    if (text.size() == 2 && text[0] == 'W' && text[1] >= '0' && text[1] <= '9')
        wheelCommand(text[1] - '0');
    else if (text.size() == 7 && text.starts_with("FRX"))
        setFrequency(text.substr(3));
    else if (text.size() == 7 && text.starts_with("IST"))
        storeRadioSettings(text.substr(3));
}

bool UnitModel::plainCommand(std::string_view text) {
    struct Plain {
        std::string_view text;
        void (UnitModel::*handler)();
    };
    static constexpr std::array<Plain, 7> kPlain{{
        {"LEARN", &UnitModel::startLearning},
        {"LEND", &UnitModel::endMode},
        {"TEST", &UnitModel::startTest},
        {"CAL", &UnitModel::startCalibration},
        {"FAC", &UnitModel::startFactory},
        {"T1", &UnitModel::autoTransmitOn},
        {"T0", &UnitModel::autoTransmitOff},
    }};
    const auto* found = std::find_if(kPlain.begin(), kPlain.end(),
                                     [text](const Plain& p) { return p.text == text; });
    if (found == kPlain.end())
        return false;
    (this->*(found->handler))();
    return true;
}

// Learning forgets every sensor; each wheel command then learns one, which
// reports from then on. The end of learning keeps the earlier sensors of the
// wheels that were not learned again, so they all report afterwards.
void UnitModel::startLearning() {
    mode_ = UnitMode::Learning;
    learned_.fill(false);
    outbox_.sendFrame("LEARN");
    restartSlots();
}

void UnitModel::endMode() {
    mode_ = UnitMode::Normal;
    learned_.fill(true);
    calibration_.reset();
    outbox_.sendFrame("LEND");
    restartSlots();
}

void UnitModel::startTest() {
    mode_ = UnitMode::Test;
    // The program ages only wheels 0 to 3, so the silent one is among them.
    silentWheel_ = random_.between(0, std::min(3, config_.wheels - 1));
    nextTestRf_ = now() + milliseconds{random_.between(kTestRfMinMs, kTestRfMaxMs)};
    outbox_.sendFrame(config_.scenario == Scenario::MemoryFault ? "TEST1" : "TEST");
    restartSlots();
}

void UnitModel::startCalibration() {
    calibration_.emplace(frequency_, calibrationEndOf(config_.scenario), random_.between(-4, 4));
    outbox_.sendFrame("CAL0");
    nextCalibrationStep_ = now() + milliseconds{Calibration::kStepMs};
}

void UnitModel::startFactory() {
    mode_ = UnitMode::Factory;
    outbox_.sendFrame("FAC");
}

void UnitModel::autoTransmitOn() {
    autoTransmit_ = true;
    restartSlots();
}

void UnitModel::autoTransmitOff() {
    autoTransmit_ = false;
}

// Outside learning a wheel command asks for that wheel's reading at once.
void UnitModel::wheelCommand(int wheel) {
    if (wheel >= config_.wheels)
        return;
    if (mode_ == UnitMode::Learning)
        learned_[static_cast<std::size_t>(wheel)] = true;
    if (canReport(wheel) && !calibration_)
        sendReport(wheel);
}

void UnitModel::setFrequency(std::string_view quad) {
    const auto value = parseHexQuad(quad);
    if (!value)
        return;
    frequency_ = *value;
    outbox_.sendFrame("FRX" + hexQuad(frequency_));
}

// Rate digit, automatic-transmission digit (0 on, 1 off), then "AB".
void UnitModel::storeRadioSettings(std::string_view settings) {
    const char rate = settings[0];
    const char autoTx = settings[1];
    if (rate < '0' || rate > '7' || (autoTx != '0' && autoTx != '1') || settings.substr(2) != "AB")
        return;
    rate_ = rate - '0';
    autoTransmit_ = autoTx == '0';
    restartSlots();
}

} // namespace vorn::sim
