#include "monitor/MonitorClient.h"

#include "monitor/LocalSocket.h"
#include "monitor/MonitorProtocol.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace vorn {

namespace {

// A number the owner sent, or `fallback` for anything else.
std::int32_t number(const QJsonObject& o, const char* key, std::int32_t fallback = 0) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isDouble() ? static_cast<std::int32_t>(v.toInt(fallback)) : fallback;
}

std::string latin1(const QJsonValue& v) {
    return v.toString().toLatin1().toStdString();
}

template <class T, class Signal>
void update(MonitorClient* self, T& field, T value, Signal signal) {
    if (field == value)
        return;
    field = std::move(value);
    emit(self->*signal)();
}

} // namespace

MonitorClient::MonitorClient(MessageSink& messages, ToneSink& tones, QObject* parent)
    : MonitorModel(parent), messages_(messages), tones_(tones), socket_(new LocalSocket(this)) {
    connect(socket_, &LocalSocket::readyRead, this, &MonitorClient::readLines);
    connect(socket_, &LocalSocket::disconnected, this, &MonitorClient::ownerGone);
}

MonitorClient::~MonitorClient() {
    socket_->disconnect(this);
}

bool MonitorClient::connectTo(const QString& socketPath) {
    return socket_->connectTo(socketPath);
}

bool MonitorClient::attach(const QString& socketPath, int ms) {
    QElapsedTimer clock;
    clock.start();
    if (!connectTo(socketPath))
        return false;
    while (!settingsSeen_ && socket_->isOpen() && clock.elapsed() < ms) {
        socket_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, ms - clock.elapsed())));
        readLines();
    }
    if (!settingsSeen_) {
        socket_->abort();
        return false;
    }
    return true;
}

bool MonitorClient::connected() const {
    return socket_->isOpen();
}

void MonitorClient::send(const QJsonObject& message) {
    socket_->write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
}

void MonitorClient::setFrequency(const QString& text) {
    send({{"type", "frequencySet"}, {"text", text}});
}

void MonitorClient::stepFrequency(const QString& text, int stepIndex, bool up) {
    send({{"type", "frequencyStep"}, {"text", text}, {"step", stepIndex}, {"up", up}});
}

void MonitorClient::sendRadioSettings(const QString& text, int rateIndex, int autotxIndex) {
    send({{"type", "radioSettings"}, {"text", text}, {"rate", rateIndex}, {"autotx", autotxIndex}});
}

void MonitorClient::saveSettings(const SettingsRecord& r) {
    send({{"type", "saveSettings"}, {"settings", wire::recordObject(r)}});
}

void MonitorClient::readLines() {
    for (const QByteArray& line : reader_.feed(socket_->readAll()))
        take(QJsonDocument::fromJson(line).object());
    if (reader_.overflowed())
        socket_->abort();
}

void MonitorClient::take(const QJsonObject& m) {
    const QString type = m.value(QLatin1String("type")).toString();
    if (type == QLatin1String("hello")) {
        folder_ = m.value(QLatin1String("folder")).toString();
        historyFile_ = m.value(QLatin1String("history")).toString();
        const QJsonArray reports = m.value(QLatin1String("lastReports")).toArray();
        for (int w = 0; w < kShownWheels && w < reports.size(); ++w) {
            const double time = reports[w].toDouble(-1);
            lastReports_[static_cast<std::size_t>(w)] =
                time > 0 && time < 1e15 ? std::optional(static_cast<qint64>(time)) : std::nullopt;
        }
    } else if (type == QLatin1String("reading")) {
        const int wheel = number(m, "wheel", -1);
        if (wheel >= 0 && wheel < kShownWheels)
            lastReports_[static_cast<std::size_t>(wheel)] = QDateTime::currentMSecsSinceEpoch();
    } else if (type == QLatin1String("warnings")) {
        const QJsonArray wheels = m.value(QLatin1String("wheels")).toArray();
        constexpr qsizetype kLongest = 1000; // a warning is a line or two
        for (int w = 0; w < kShownWheels; ++w)
            setWarning(w, w < wheels.size() ? wheels[w].toString().left(kLongest) : QString());
    } else if (type == QLatin1String("table")) {
        takeTable(m);
    } else if (type == QLatin1String("panels")) {
        takePanels(m);
    } else if (type == QLatin1String("links")) {
        links_ = m.value(QLatin1String("description")).toString();
        emit linksChanged();
    } else if (type == QLatin1String("settings")) {
        takeSettings(m);
    } else if (type == QLatin1String("mode")) {
        state_.MonitorMode = number(m, "mode");
        emit modeWasEntered(static_cast<MonitorModeValue>(state_.MonitorMode));
    } else if (type == QLatin1String("tone")) {
        tones_.playTone(number(m, "hz"), number(m, "ms"));
    } else if (type == QLatin1String("error")) {
        messages_.show(m.value(QLatin1String("message")).toString(), kExceptionCaption);
    }
}

void MonitorClient::takeTable(const QJsonObject& m) {
    const QJsonArray wheels = m.value(QLatin1String("wheels")).toArray();
    for (int w = 0; w < kShownWheels && w < wheels.size(); ++w) {
        const QJsonObject o = wheels[w].toObject();
        state_.TyrePressure[w] = number(o, "pressure", NoReading);
        state_.TyreTemperature[w] = number(o, "temperature", NoReading);
        state_.TyreStatus[w] = number(o, "status");
        state_.TyreBattery[w] = number(o, "battery");
    }
    state_.AlarmActive = m.value(QLatin1String("alarm")).toBool() ? 1 : 0;
    state_.MonitorMode = number(m, "mode");
    blink_ = number(m, "blink") != 0 ? 1 : 0;
    emit refreshed();
}

void MonitorClient::takePanels(const QJsonObject& m) {
    const auto colour = [](const QJsonValue& v) {
        return wire::colourFromName(v.toObject().value(QLatin1String("colour")).toString())
            .value_or(PanelColour::ButtonFace);
    };
    const QJsonObject brand = m.value(QLatin1String("brand")).toObject();
    const QJsonObject calibration = m.value(QLatin1String("calibration")).toObject();
    MonitorPanels next = panels_;
    next.brandCaption = latin1(brand.value(QLatin1String("caption")));
    next.brandColour = colour(brand);
    if (next.brandCaption != panels_.brandCaption || next.brandColour != panels_.brandColour) {
        panels_.brandCaption = next.brandCaption;
        panels_.brandColour = next.brandColour;
        emit brandChanged();
    }
    next.calibrationCaption = latin1(calibration.value(QLatin1String("caption")));
    next.calibrationColour = colour(calibration);
    if (next.calibrationCaption != panels_.calibrationCaption ||
        next.calibrationColour != panels_.calibrationColour) {
        panels_.calibrationCaption = next.calibrationCaption;
        panels_.calibrationColour = next.calibrationColour;
        emit calibrationChanged();
    }
    update(this, panels_.factoryColour, colour(m.value(QLatin1String("factory"))),
           &MonitorClient::factoryChanged);
    update(this, panels_.frequencyText, latin1(m.value(QLatin1String("frequency"))),
           &MonitorClient::frequencyReported);
    update(this, panels_.linkText, latin1(m.value(QLatin1String("link"))),
           &MonitorClient::linkChanged);
    update(this, panels_.autotxCaption, latin1(m.value(QLatin1String("autotx"))),
           &MonitorClient::autotxChanged);
    const QString pressure = m.value(QLatin1String("pressureUnit")).toString();
    const QString temperature = m.value(QLatin1String("temperatureUnit")).toString();
    if (pressure != panels_.pressureCaption || temperature != panels_.temperatureCaption) {
        panels_.pressureCaption = pressure;
        panels_.temperatureCaption = temperature;
        emit settingsChanged(); // the captions are shown with the settings
    }
}

void MonitorClient::takeSettings(const QJsonObject& m) {
    const QJsonObject s = m.value(QLatin1String("settings")).toObject();
    record_ = {number(s, "lowPressure", 26),
               number(s, "highPressure", 45),
               number(s, "highTemperature", 70),
               number(s, "pressureUnit"),
               number(s, "temperatureUnit"),
               number(s, "port"),
               number(s, "dataRate"),
               number(s, "autoTx")};
    settings_.LowPressureSet = record_.LowPressureSet;
    settings_.HighPressureSet = record_.HighPressureSet;
    settings_.HighTempSet = record_.HighTempSet;
    settings_.PressureUnitIndex = record_.PressureUnit;
    settings_.TemperatureUnitIndex = record_.TemperatureUnit;
    // The owner's file is not ours to read; its eight lines as they stand.
    settingsText_ = SettingsText::fromBytes(QByteArray(kSettingsLines * 2, '\n'));
    writeSettingsRecord(settingsText_, record_);
    const int wheels = number(m, "wheels", 4) == 6 ? 6 : 4;
    const bool wheelsChanged = settingsSeen_ && wheels != settings_.AlarmWheels;
    settings_.AlarmWheels = wheels;
    if (!settingsSeen_) {
        // The whole state is here: from now on the owner's tones are ours to play.
        settingsSeen_ = true;
        send({{"type", "playTones"}});
    }
    emit settingsChanged();
    if (wheelsChanged)
        emit MonitorModel::wheelsChanged();
}

} // namespace vorn
