#include "protocol/FrameParser.h"

#include "protocol/HexText.h"

#include <algorithm>
#include <string>

namespace vorn {

namespace {

using Reply = FrameParser::Reply;
using Link = FrameParser::Link;

// A reply: the body's leading characters and its exact length.
struct Rule {
    std::string_view head;
    std::size_t length;
    Reply reply;
};

// Tried in this order; the first rule that holds is carried out.
constexpr std::array<Rule, 11> kSerialRules{{
    {"LEARN", 5, Reply::Learn},
    {"TEST", 4, Reply::Test},
    {"TR", 8, Reply::Tuning},
    {"TEST1", 5, Reply::TestEepromError},
    {"TESTRF", 6, Reply::TestRf},
    {"FRX", 7, Reply::Frequency},
    {"CAL", 4, Reply::Calibration},
    {"FAC", 3, Reply::Factory},
    {"LEND", 4, Reply::LearnEnd},
    {"", 9, Reply::SensorShort},
    {"", 10, Reply::SensorLong},
}};

// A USB report holds "$" at byte 1, the body from byte 2 and "#" right after it.
constexpr std::array<Rule, 9> kUsbRules{{
    {"LEARN", 5, Reply::Learn},
    {"LEND", 4, Reply::LearnEnd},
    {"TEST", 4, Reply::Test},
    {"TESTRF", 6, Reply::TestRf},
    {"FRX", 7, Reply::Frequency},
    {"CAL", 4, Reply::Calibration},
    {"FAC", 3, Reply::Factory},
    {"TR", 8, Reply::Tuning},
    {"", 10, Reply::SensorLong},
}};
static_assert(std::ranges::all_of(kUsbRules, [](const Rule& r) {
    return r.length + 3 <= FrameParser::kUsbReportSize;
}));

struct Tone {
    int hz;
    int ms;
};
constexpr Tone kRadioTestTone{2000, 100};
constexpr Tone kTuningTone{2000, 50};
constexpr Tone kCalibrationOkTone{2000, 100};
constexpr Tone kCalibrationErrorTone{1000, 400};

constexpr int kMaxRxCount = static_cast<int>(FrameParser::kRxFrameSize) - 1;
constexpr int kTuningIndexes = 20;

// Positions of a sensor report's fields; wheel, battery and flag lead both forms.
struct SensorLayout {
    std::size_t pressure;
    std::size_t temperature;
    std::size_t checksum;
};
constexpr SensorLayout kLongForm{4, 6, 8};
constexpr SensorLayout kShortForm{3, 5, 7};
constexpr std::size_t kBatteryAt = 1;
constexpr std::size_t kFlagAt = 2;
constexpr std::size_t kHalfPsiAt = 3;

int Code(char c) {
    return static_cast<unsigned char>(c);
}

// Sensor reports use uppercase digits only.
int UpperHexDigit(char c) {
    return (c >= 'a' && c <= 'f') ? -1 : HexDigitValue(c);
}

int UpperHexPair(std::string_view pair) {
    const int high = UpperHexDigit(pair[0]);
    const int low = UpperHexDigit(pair[1]);
    return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

bool ChecksumMatches(std::string_view body, std::size_t at) {
    unsigned sum = 0;
    for (char c : body.substr(0, at))
        sum += static_cast<unsigned>(Code(c));
    return body[at] == kUpperHexDigits[(sum >> 4) & 0xFu] &&
           body[at + 1] == kUpperHexDigits[sum & 0xFu];
}

// Long form: "0"-"9", "A"-"F", and over USB only wheels 0 to 11.
int LongFormWheel(char c, Link link) {
    const int wheel = UpperHexDigit(c);
    const int limit = link == Link::Serial ? kWheelSlots : 12;
    return wheel < limit ? wheel : -1;
}

int ShortFormWheel(char c) {
    return (c >= '0' && c <= '3') ? c - '0' : -1;
}

bool AddsHalfPsi(char c, Link link) {
    return link == Link::Serial ? Code(c) >= '4' : c == '5';
}

} // namespace

FrameParser::FrameParser(TyreStateTable& table, MonitorEffects& effects)
    : table_(table), effects_(effects) {}

void FrameParser::feedSerial(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes)
        takeSerialByte(byte);
}

void FrameParser::takeSerialByte(std::uint8_t byte) {
    switch (byte) {
    case '$':
        rxCount_ = 0;
        break;
    case '#':
        dispatchSerial(); // the body stays: a second "#" dispatches it again
        break;
    default:
        rxFrame_[static_cast<std::size_t>(rxCount_)] = static_cast<char>(byte);
        rxCount_ = std::min(rxCount_ + 1, kMaxRxCount);
        break;
    }
}

void FrameParser::dispatchSerial() {
    const std::string_view body(rxFrame_.data(), static_cast<std::size_t>(rxCount_));
    const auto rule = std::ranges::find_if(kSerialRules, [body](const Rule& r) {
        return body.size() == r.length && body.starts_with(r.head);
    });
    if (rule != kSerialRules.end())
        apply(rule->reply, body, Link::Serial);
}

void FrameParser::parseUsbReport(std::span<const std::uint8_t> report) {
    if (report.size() != kUsbReportSize)
        return;
    // Byte 0 is the report number; the frame starts at byte 1.
    const std::string_view frame(reinterpret_cast<const char*>(report.data()) + 1,
                                 kUsbReportSize - 1);
    if (frame[0] != '$')
        return;
    const auto rule = std::ranges::find_if(kUsbRules, [frame](const Rule& r) {
        return frame[r.length + 1] == '#' && frame.substr(1).starts_with(r.head);
    });
    if (rule != kUsbRules.end())
        apply(rule->reply, frame.substr(1, rule->length), Link::Usb);
}

void FrameParser::apply(Reply reply, std::string_view body, Link link) {
    switch (reply) {
    case Reply::Learn:
        return enterMode(MonitorModeValue::Learning, "Learn ID");
    case Reply::Test:
        return enterMode(MonitorModeValue::Test, "Test Mode");
    case Reply::TestEepromError:
        return enterMode(MonitorModeValue::Test, "Eeprom Error");
    case Reply::TestRf:
        return toggleRadioTest();
    case Reply::Tuning:
        return showTuning(body);
    case Reply::Frequency:
        return showFrequency(body);
    case Reply::Calibration:
        return showCalibration(body[3]);
    case Reply::Factory:
        return enterFactory();
    case Reply::LearnEnd:
        return endMode();
    case Reply::SensorShort:
        return storeSensor(body, true, link);
    case Reply::SensorLong:
        return storeSensor(body, false, link);
    }
}

void FrameParser::enterMode(MonitorModeValue mode, std::string_view caption) {
    effects_.setBrandColour(PanelColour::Red);
    effects_.setBrandCaption(caption);
    table_.MonitorMode = static_cast<std::int32_t>(mode);
    table_.ResetReadings();
    effects_.modeEntered(mode);
}

void FrameParser::toggleRadioTest() {
    const bool red = effects_.brandColour() == PanelColour::Red;
    effects_.setBrandColour(red ? PanelColour::Blue : PanelColour::Red);
    effects_.playTone(kRadioTestTone.hz, kRadioTestTone.ms);
}

// "TR", index pair, high pair, low pair; any pair that is not hex drops the report.
void FrameParser::showTuning(std::string_view body) {
    const int index = DecodeHexPair(body.substr(2, 2));
    const int high = DecodeHexPair(body.substr(4, 2));
    const int low = DecodeHexPair(body.substr(6, 2));
    if (index < 0 || index >= kTuningIndexes || high < 0 || low < 0)
        return;
    table_.TuningValue = high * 256 + low;
    effects_.setCalibrationCaption(FormatHex4(table_.TuningValue) + " " + std::to_string(index));
    if (index % 2 == 0)
        effects_.playTone(kTuningTone.hz, kTuningTone.ms);
}

void FrameParser::showFrequency(std::string_view body) {
    const int quad = DecodeHexQuad(body.substr(3, 4));
    if (quad < 0)
        return;
    effects_.setFrequencyText(FormatHex4(quad));
    table_.CalibrationTicks = 0; // a frequency report keeps the calibration watch alive
}

void FrameParser::showCalibration(char step) {
    // Digit 0 starts the watch, 1 and 2 end it; any other digit means nothing.
    struct Outcome {
        char digit;
        std::string_view caption;
        PanelColour colour;
        Tone tone; // hz 0: silent
    };
    constexpr std::array<Outcome, 3> kOutcomes{{
        {'0', "Start", PanelColour::Yellow, {0, 0}},
        {'1', "Ok", PanelColour::Lime, kCalibrationOkTone},
        {'2', "Error", PanelColour::Red, kCalibrationErrorTone},
    }};
    const auto outcome =
        std::ranges::find_if(kOutcomes, [step](const Outcome& o) { return o.digit == step; });
    if (outcome == kOutcomes.end())
        return;
    table_.CalibrationRunning = step == '0' ? 1 : 0;
    if (step == '0')
        table_.CalibrationTicks = 0;
    effects_.setCalibrationCaption(outcome->caption);
    effects_.setCalibrationColour(outcome->colour);
    if (outcome->tone.hz != 0)
        effects_.playTone(outcome->tone.hz, outcome->tone.ms);
}

void FrameParser::enterFactory() {
    table_.FactoryMode = 1;
    effects_.setFactoryColour(PanelColour::Yellow);
}

void FrameParser::endMode() {
    const bool alarmWasOn = table_.AlarmActive != 0;
    effects_.setBrandColour(PanelColour::SkyBlue);
    effects_.setBrandCaption("KESSIDO");
    table_.AlarmActive = 0;
    table_.MonitorMode = static_cast<std::int32_t>(MonitorModeValue::Normal);
    table_.FactoryMode = 0;
    effects_.setFactoryColour(PanelColour::ButtonFace);
    if (alarmWasOn)
        effects_.alarmEnded(AlarmEnd::ModeEnded);
    effects_.modeEntered(MonitorModeValue::Normal);
}

// Checksum first, then every value digit; a report that fails any test is dropped whole.
void FrameParser::storeSensor(std::string_view body, bool shortForm, Link link) {
    const SensorLayout& at = shortForm ? kShortForm : kLongForm;
    if (body.size() != at.checksum + 2 || !ChecksumMatches(body, at.checksum))
        return;
    const int wheel = shortForm ? ShortFormWheel(body[0]) : LongFormWheel(body[0], link);
    const int pressure = UpperHexPair(body.substr(at.pressure, 2));
    const int temperature = UpperHexPair(body.substr(at.temperature, 2));
    if (wheel < 0 || pressure < 0 || temperature < 0)
        return;
    // The long form counts whole psi plus a half-psi digit; the short form half-psi steps.
    const int stored =
        shortForm ? pressure : pressure * 2 + (AddsHalfPsi(body[kHalfPsiAt], link) ? 1 : 0);
    table_.StoreSensorReport(wheel, Code(body[kBatteryAt]) - '0', body[kFlagAt] == '1', stored,
                             temperature);
    effects_.sensorStored(wheel, link == Link::Usb ? ReportLink::Usb : ReportLink::Serial);
}

} // namespace vorn
