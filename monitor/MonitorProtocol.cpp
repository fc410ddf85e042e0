#include "monitor/MonitorProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace vorn::wire {

namespace {

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::array kColourNames{
    std::pair{PanelColour::ButtonFace, "buttonFace"},
    std::pair{PanelColour::SkyBlue, "skyBlue"},
    std::pair{PanelColour::Red, "red"},
    std::pair{PanelColour::Blue, "blue"},
    std::pair{PanelColour::Yellow, "yellow"},
    std::pair{PanelColour::Lime, "lime"},
};

} // namespace

QString colourName(PanelColour colour) {
    for (const auto& [c, name] : kColourNames)
        if (c == colour)
            return QString::fromLatin1(name);
    return {};
}

std::optional<PanelColour> colourFromName(const QString& name) {
    for (const auto& [c, n] : kColourNames)
        if (name == QLatin1String(n))
            return c;
    return std::nullopt;
}

namespace {

QJsonObject panel(const std::string& caption, PanelColour colour) {
    return {{"caption", latin1(caption)}, {"colour", colourName(colour)}};
}

using Kind = ClientMessage::Kind;

// Each message a client may send, and what it carries.
enum class Fields { None, Wheel, Text, Step, Radio, Record, Wheels };
struct KnownMessage {
    const char* type;
    Kind kind;
    Fields fields;
};
constexpr std::array kKnown{
    KnownMessage{"learn", Kind::Learn, Fields::None},
    KnownMessage{"test", Kind::Test, Fields::None},
    KnownMessage{"wheel", Kind::Wheel, Fields::Wheel},
    KnownMessage{"autotx", Kind::AutoTx, Fields::None},
    KnownMessage{"brand", Kind::Brand, Fields::None},
    KnownMessage{"acknowledge", Kind::Acknowledge, Fields::None},
    KnownMessage{"frequencySet", Kind::FrequencySet, Fields::Text},
    KnownMessage{"frequencyStep", Kind::FrequencyStep, Fields::Step},
    KnownMessage{"radioSettings", Kind::RadioSettings, Fields::Radio},
    KnownMessage{"calibrate", Kind::Calibrate, Fields::None},
    KnownMessage{"factory", Kind::Factory, Fields::None},
    KnownMessage{"saveSettings", Kind::SaveSettings, Fields::Record},
    KnownMessage{"setWheels", Kind::Wheels, Fields::Wheels},
    KnownMessage{"playTones", Kind::PlayTones, Fields::None},
    KnownMessage{"reloadPreferences", Kind::ReloadPreferences, Fields::None},
};

// The frequency text is four hexadecimal characters; a little room is left
// for what a user may type, which the command builder then refuses.
constexpr qsizetype kMaxText = 16;

// A whole number within [low, high], or nothing.
std::optional<int> integer(const QJsonObject& o, const char* key, std::int64_t low,
                           std::int64_t high) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < static_cast<double>(low) ||
        d > static_cast<double>(high))
        return std::nullopt;
    return static_cast<int>(d);
}

constexpr std::int64_t kIntLow = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kIntHigh = std::numeric_limits<std::int32_t>::max();

bool readRecord(const QJsonObject& o, SettingsRecord& r) {
    const struct {
        const char* key;
        std::int32_t* field;
        std::int64_t low, high;
    } fields[] = {
        {"lowPressure", &r.LowPressureSet, kIntLow, kIntHigh},
        {"highPressure", &r.HighPressureSet, kIntLow, kIntHigh},
        {"highTemperature", &r.HighTempSet, kIntLow, kIntHigh},
        {"pressureUnit", &r.PressureUnit, -1, 3},
        {"temperatureUnit", &r.TemperatureUnit, -1, 1},
        {"port", &r.Port, -1, 4},
        {"dataRate", &r.DataRate, -1, 7},
        {"autoTx", &r.AutoTx, -1, 1},
    };
    for (const auto& f : fields) {
        const auto v = integer(o, f.key, f.low, f.high);
        if (!v)
            return false;
        *f.field = *v;
    }
    return true;
}

bool readText(const QJsonObject& o, ClientMessage& m) {
    const QJsonValue v = o.value(QLatin1String("text"));
    if (!v.isString() || v.toString().size() > kMaxText)
        return false;
    m.text = v.toString();
    return true;
}

bool readFields(const QJsonObject& o, Fields fields, ClientMessage& m) {
    switch (fields) {
    case Fields::None:
        return true;
    case Fields::Wheel: {
        const auto w = integer(o, "wheel", 0, kShownWheels - 1);
        m.number = w.value_or(0);
        return w.has_value();
    }
    case Fields::Wheels: {
        const auto w = integer(o, "wheels", 4, 6);
        m.number = w.value_or(0);
        return w && *w != 5;
    }
    case Fields::Text:
        return readText(o, m);
    case Fields::Step: {
        const auto step = integer(o, "step", -1, 9);
        const QJsonValue up = o.value(QLatin1String("up"));
        m.stepIndex = step.value_or(0);
        m.up = up.toBool();
        return step && up.isBool() && readText(o, m);
    }
    case Fields::Radio: {
        const auto rate = integer(o, "rate", -1, 7);
        const auto autotx = integer(o, "autotx", -1, 1);
        m.rateIndex = rate.value_or(0);
        m.autotxIndex = autotx.value_or(0);
        return rate && autotx && readText(o, m);
    }
    case Fields::Record:
        return readRecord(o.value(QLatin1String("settings")).toObject(), m.record);
    }
    return false;
}

} // namespace

QByteArray hello(const QString& folder, const QString& historyFile,
                 const LastReports& lastReports) {
    QJsonArray reports;
    for (const std::optional<qint64>& time : lastReports)
        reports.append(time ? QJsonValue(static_cast<double>(*time)) : QJsonValue());
    return line({{"type", "hello"},
                 {"folder", folder},
                 {"history", historyFile},
                 {"lastReports", reports},
                 {"version", kVersion},
                 {"program", "VORN"},
                 {"release", QStringLiteral(VORN_VERSION)}});
}

QByteArray table(const TyreStateTable& state, int blinkPhase) {
    QJsonArray wheels;
    for (int w = 0; w < kShownWheels; ++w)
        wheels.append(QJsonObject{{"pressure", state.TyrePressure[w]},
                                  {"temperature", state.TyreTemperature[w]},
                                  {"status", state.TyreStatus[w]},
                                  {"battery", state.TyreBattery[w]}});
    return line({{"type", "table"},
                 {"wheels", wheels},
                 {"alarm", state.AlarmActive != 0},
                 {"mode", state.MonitorMode},
                 {"blink", blinkPhase}});
}

QByteArray panels(const MonitorPanels& p) {
    return line({{"type", "panels"},
                 {"brand", panel(p.brandCaption, p.brandColour)},
                 {"calibration", panel(p.calibrationCaption, p.calibrationColour)},
                 {"factory", QJsonObject{{"colour", colourName(p.factoryColour)}}},
                 {"frequency", latin1(p.frequencyText)},
                 {"link", latin1(p.linkText)},
                 {"autotx", latin1(p.autotxCaption)},
                 {"pressureUnit", p.pressureCaption},
                 {"temperatureUnit", p.temperatureCaption}});
}

QByteArray links(bool serial, bool usb, const QString& description) {
    return line(
        {{"type", "links"}, {"serial", serial}, {"usb", usb}, {"description", description}});
}

QJsonObject recordObject(const SettingsRecord& r) {
    return {{"lowPressure", r.LowPressureSet},
            {"highPressure", r.HighPressureSet},
            {"highTemperature", r.HighTempSet},
            {"pressureUnit", r.PressureUnit},
            {"temperatureUnit", r.TemperatureUnit},
            {"port", r.Port},
            {"dataRate", r.DataRate},
            {"autoTx", r.AutoTx}};
}

QByteArray settings(const SettingsRecord& r, int wheels) {
    return line({{"type", "settings"}, {"settings", recordObject(r)}, {"wheels", wheels}});
}

QByteArray warnings(const std::array<QString, kShownWheels>& texts) {
    QJsonArray wheels;
    for (const QString& text : texts)
        wheels.append(text);
    return line({{"type", "warnings"}, {"wheels", wheels}});
}

QByteArray reading(int wheel, ReportLink link) {
    return line({{"type", "reading"},
                 {"wheel", wheel},
                 {"link", link == ReportLink::Usb ? "usb" : "serial"}});
}

QByteArray alarmRaised(int wheel, std::int32_t status) {
    return line({{"type", "alarmRaised"}, {"wheel", wheel}, {"status", status}});
}

QByteArray alarmEnded(AlarmEnd how) {
    constexpr std::array names{"cleared", "acknowledged", "modeEnded"};
    return line({{"type", "alarmEnded"}, {"how", names.at(static_cast<std::size_t>(how))}});
}

QByteArray mode(MonitorModeValue mode) {
    return line({{"type", "mode"}, {"mode", static_cast<int>(mode)}});
}

QByteArray tone(int hz, int ms) {
    return line({{"type", "tone"}, {"hz", hz}, {"ms", ms}});
}

QByteArray error(const QString& message) {
    return line({{"type", "error"}, {"message", message}});
}

ParsedLine parseClientLine(QByteArrayView text) {
    QJsonParseError problem{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toByteArray(), &problem);
    if (problem.error != QJsonParseError::NoError || !doc.isObject())
        return {std::nullopt, QStringLiteral("not a JSON object")};
    const QJsonObject o = doc.object();
    const QString type = o.value(QLatin1String("type")).toString();
    for (const KnownMessage& known : kKnown) {
        if (type != QLatin1String(known.type))
            continue;
        ClientMessage m;
        m.kind = known.kind;
        if (!readFields(o, known.fields, m))
            return {std::nullopt, QStringLiteral("bad fields for \"%1\"").arg(type)};
        return {m, {}};
    }
    return {std::nullopt, QStringLiteral("unknown type")};
}

} // namespace vorn::wire
