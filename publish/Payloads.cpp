#include "publish/Payloads.h"

#include "protocol/TyreStateTable.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
                  {QStringLiteral("status"), QLatin1String(statusName(r.status))},
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
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray alarmPayload(bool raised, int wheel) {
    const QJsonObject o{
        {QStringLiteral("state"), raised ? QStringLiteral("ON") : QStringLiteral("OFF")},
        {QStringLiteral("wheel"), raised ? QJsonValue(wheel) : QJsonValue()}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::vector<Message> wheelDiscovery(const Settings& s, int wheel, PressureUnit unit) {
    const QString state = Topics(s).wheelState(wheel);
    const QString name = QStringLiteral("Wheel %1 ").arg(wheel);
    const QString object = QStringLiteral("wheel%1_").arg(wheel);
    QJsonObject pressure{
        {QStringLiteral("name"), name + QStringLiteral("pressure")},
        {QStringLiteral("state_topic"), state},
        {QStringLiteral("unit_of_measurement"), symbol(unit)},
        {QStringLiteral("state_class"), QStringLiteral("measurement")},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.pressure }}")}};
    // Home Assistant knows no kg/cm2 among its pressure units; such a
    // sensor stays a plain number rather than being rejected.
    if (unit != PressureUnit::KgCm)
        pressure.insert(QStringLiteral("device_class"), QStringLiteral("pressure"));
    const QJsonObject temperature{
        {QStringLiteral("name"), name + QStringLiteral("temperature")},
        {QStringLiteral("state_topic"), state},
        {QStringLiteral("device_class"), QStringLiteral("temperature")},
        {QStringLiteral("unit_of_measurement"), QStringLiteral("°C")},
        {QStringLiteral("state_class"), QStringLiteral("measurement")},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.temperature_c }}")}};
    // The sensor reports a digit, not a percentage, so it is no battery class.
    const QJsonObject battery{
        {QStringLiteral("name"), name + QStringLiteral("battery")},
        {QStringLiteral("state_topic"), state},
        {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.battery }}")}};
    const QJsonObject problem{
        {QStringLiteral("name"), name + QStringLiteral("problem")},
        {QStringLiteral("state_topic"), state},
        {QStringLiteral("device_class"), QStringLiteral("problem")},
        {QStringLiteral("value_template"),
         QStringLiteral("{{ 'ON' if value_json.status in ['low', 'high'] or value_json.hot "
                        "else 'OFF' }}")}};
    return {
        entity(s, QStringLiteral("sensor"), object + QStringLiteral("pressure"), pressure),
        entity(s, QStringLiteral("sensor"), object + QStringLiteral("temperature"), temperature),
        entity(s, QStringLiteral("sensor"), object + QStringLiteral("battery"), battery),
        entity(s, QStringLiteral("binary_sensor"), object + QStringLiteral("problem"), problem)};
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

} // namespace vorn::mqtt
