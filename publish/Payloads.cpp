#include "publish/Payloads.h"

#include "protocol/TyreStateTable.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

namespace vorn::mqtt {

namespace {

constexpr std::int32_t kNoPressureFrom = 400;
constexpr std::int32_t kNoTemperatureFrom = 199;

QJsonObject deviceBlock(const Settings& s) {
    return {{QStringLiteral("identifiers"), QJsonArray{QStringLiteral("vorn_") + s.unit}},
            {QStringLiteral("name"), QStringLiteral("VORN tyre monitor")},
            {QStringLiteral("manufacturer"), QStringLiteral("VORN")},
            {QStringLiteral("model"), QStringLiteral("tyre-pressure monitor")},
            {QStringLiteral("sw_version"), QStringLiteral(VORN_VERSION)}};
}

// One entity's config message, with what every entity shares.
Message entity(const Settings& s, const QString& component, const QString& object,
               QJsonObject config) {
    const QString id = QStringLiteral("vorn_%1_%2").arg(s.unit, object);
    config.insert(QStringLiteral("unique_id"), id);
    config.insert(QStringLiteral("object_id"), id);
    config.insert(QStringLiteral("availability_topic"), Topics(s).availability());
    config.insert(QStringLiteral("device"), deviceBlock(s));
    return {
        QStringLiteral("%1/%2/vorn_%3/%4/config").arg(s.discoveryPrefix, component, s.unit, object),
        QJsonDocument(config).toJson(QJsonDocument::Compact), true, 1};
}

QString symbol(PressureUnit unit) {
    const std::string_view text = PressureUnitSymbol(unit);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

const char* statusName(std::int32_t status) {
    if ((status & status::SensorFlag) == 0)
        return "absent";
    if ((status & status::LowPressure) != 0)
        return "low";
    if ((status & status::HighPressure) != 0)
        return "high";
    return "normal";
}

QByteArray wheelStatePayload(const WheelReading& r, PressureUnit unit, qint64 lastReportMs) {
    QJsonObject o{{QStringLiteral("wheel"), r.wheel},
                  {QStringLiteral("unit"), symbol(unit)},
                  {QStringLiteral("battery"), r.battery},
                  {QStringLiteral("battery_low"), BatteryLow(r.battery)},
                  {QStringLiteral("status"), r.insight.warning == QLatin1String("silent")
                                                 ? QLatin1String("silent")
                                                 : QLatin1String(statusName(r.status))},
                  {QStringLiteral("hot"), (r.status & status::HighTemperature) != 0},
                  {QStringLiteral("last_report"),
                   QDateTime::fromMSecsSinceEpoch(lastReportMs, Qt::UTC).toString(Qt::ISODate)}};
    const bool hasPressure = r.pressure >= 0 && r.pressure < kNoPressureFrom;
    o.insert(QStringLiteral("pressure_psi"),
             hasPressure ? QJsonValue(PressureInUnit(r.pressure, PressureUnit::Psi))
                         : QJsonValue());
    o.insert(QStringLiteral("pressure"),
             hasPressure ? QJsonValue(PressureInUnit(r.pressure, unit)) : QJsonValue());
    o.insert(QStringLiteral("temperature_c"), r.temperature < kNoTemperatureFrom
                                                  ? QJsonValue(r.temperature - ZeroCelsius)
                                                  : QJsonValue());
    const auto number = [](const std::optional<double>& v) {
        return v ? QJsonValue(*v) : QJsonValue();
    };
    o.insert(QStringLiteral("cold_pressure_psi"), number(r.insight.coldPressurePsi));
    o.insert(QStringLiteral("leak_psi_per_day"), number(r.insight.leakPsiPerDay));
    o.insert(QStringLiteral("warning"),
             r.insight.warning.isEmpty() ? QJsonValue() : QJsonValue(r.insight.warning));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

AlarmCommand alarmCommandOf(const void* payload, int length, bool retained) {
    if (length != kAcknowledge.size() || payload == nullptr ||
        std::memcmp(payload, kAcknowledge.constData(), kAcknowledge.size()) != 0)
        return AlarmCommand::NotUnderstood;
    return retained ? AlarmCommand::Retained : AlarmCommand::Acknowledge;
}

QByteArray alarmPayload(bool raised, int wheel) {
    const QJsonObject o{
        {QStringLiteral("state"), raised ? QStringLiteral("ON") : QStringLiteral("OFF")},
        {QStringLiteral("wheel"), raised ? QJsonValue(wheel) : QJsonValue()}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::vector<Message> wheelDiscovery(const Settings& s, int wheel) {
    const QString state = Topics(s).wheelState(wheel);
    const QString name = QStringLiteral("Wheel %1 ").arg(wheel);
    const QString object = QStringLiteral("wheel%1_").arg(wheel);
    const auto config = [&](const QString& what, const QString& value, QJsonObject more) {
        more.insert(QStringLiteral("name"), name + what);
        more.insert(QStringLiteral("state_topic"), state);
        more.insert(QStringLiteral("value_template"), value);
        return more;
    };
    const QJsonObject pressure =
        config(QStringLiteral("pressure"), QStringLiteral("{{ value_json.pressure_psi }}"),
               {{QStringLiteral("device_class"), QStringLiteral("pressure")},
                {QStringLiteral("unit_of_measurement"), QStringLiteral("psi")},
                {QStringLiteral("state_class"), QStringLiteral("measurement")}});
    const QJsonObject temperature =
        config(QStringLiteral("temperature"), QStringLiteral("{{ value_json.temperature_c }}"),
               {{QStringLiteral("device_class"), QStringLiteral("temperature")},
                {QStringLiteral("unit_of_measurement"), QStringLiteral("°C")},
                {QStringLiteral("state_class"), QStringLiteral("measurement")}});
    const QJsonObject battery =
        config(QStringLiteral("battery"),
               QStringLiteral("{{ 'ON' if value_json.battery_low else 'OFF' }}"),
               {{QStringLiteral("device_class"), QStringLiteral("battery")},
                {QStringLiteral("entity_category"), QStringLiteral("diagnostic")}});
    const QJsonObject problem =
        config(QStringLiteral("problem"),
               QStringLiteral("{{ 'ON' if value_json.status in ['low', 'high'] or value_json.hot "
                              "else 'OFF' }}"),
               {{QStringLiteral("device_class"), QStringLiteral("problem")}});
    const QJsonObject lastReport =
        config(QStringLiteral("last report"), QStringLiteral("{{ value_json.last_report }}"),
               {{QStringLiteral("device_class"), QStringLiteral("timestamp")},
                {QStringLiteral("entity_category"), QStringLiteral("diagnostic")}});
    const QJsonObject cold = config(
        QStringLiteral("cold pressure"), QStringLiteral("{{ value_json.cold_pressure_psi }}"),
        {{QStringLiteral("device_class"), QStringLiteral("pressure")},
         {QStringLiteral("unit_of_measurement"), QStringLiteral("psi")},
         {QStringLiteral("state_class"), QStringLiteral("measurement")}});
    const QJsonObject leak =
        config(QStringLiteral("leak rate"), QStringLiteral("{{ value_json.leak_psi_per_day }}"),
               {{QStringLiteral("unit_of_measurement"), QStringLiteral("psi/d")},
                {QStringLiteral("state_class"), QStringLiteral("measurement")},
                {QStringLiteral("icon"), QStringLiteral("mdi:tire")}});
    const QJsonObject warning = config(
        QStringLiteral("warning"), QStringLiteral("{{ 'ON' if value_json.warning else 'OFF' }}"),
        {{QStringLiteral("device_class"), QStringLiteral("problem")}});
    const QString sensor = QStringLiteral("sensor");
    const QString binary = QStringLiteral("binary_sensor");
    Message retired = entity(s, sensor, object + QStringLiteral("battery"), {});
    retired.payload.clear();
    return {entity(s, sensor, object + QStringLiteral("pressure"), pressure),
            entity(s, sensor, object + QStringLiteral("temperature"), temperature),
            entity(s, binary, object + QStringLiteral("battery_low"), battery),
            entity(s, binary, object + QStringLiteral("problem"), problem),
            entity(s, sensor, object + QStringLiteral("last_report"), lastReport),
            entity(s, sensor, object + QStringLiteral("cold_pressure"), cold),
            entity(s, sensor, object + QStringLiteral("leak_rate"), leak),
            entity(s, binary, object + QStringLiteral("warning"), warning),
            retired};
}

std::vector<Message> wheelRemoval(const Settings& s, int wheel) {
    std::vector<Message> messages = wheelDiscovery(s, wheel);
    for (Message& m : messages)
        m.payload.clear();
    return messages;
}

Message alarmDiscovery(const Settings& s) {
    const QJsonObject alarm{
        {QStringLiteral("name"), QStringLiteral("Alarm")},
        {QStringLiteral("state_topic"), Topics(s).alarm()},
        {QStringLiteral("device_class"), QStringLiteral("problem")},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.state }}")},
        {QStringLiteral("json_attributes_topic"), Topics(s).alarm()}};
    return entity(s, QStringLiteral("binary_sensor"), QStringLiteral("alarm"), alarm);
}

Message acknowledgeDiscovery(const Settings& s) {
    const QJsonObject button{{QStringLiteral("name"), QStringLiteral("Acknowledge alarm")},
                             {QStringLiteral("command_topic"), Topics(s).alarmSet()},
                             {QStringLiteral("payload_press"), QString::fromLatin1(kAcknowledge)},
                             {QStringLiteral("icon"), QStringLiteral("mdi:bell-cancel")}};
    return entity(s, QStringLiteral("button"), QStringLiteral("acknowledge"), button);
}

} // namespace vorn::mqtt
