#include "monitor/MonitorServer.h"

#include "monitor/MonitorProtocol.h"

#include <QDateTime>
#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

namespace {

using Kind = wire::ClientMessage::Kind;

// Carries out a client's message on the monitor as the window's control would.
void apply(MonitorCore& core, const wire::ClientMessage& m) {
    switch (m.kind) {
    case Kind::Learn:
        return core.learn();
    case Kind::Test:
        return core.testMode();
    case Kind::Wheel:
        return core.sendWheelCommand(m.number);
    case Kind::AutoTx:
        return core.toggleAutoTx();
    case Kind::Brand:
        return core.acknowledge();
    case Kind::Acknowledge:
        return core.acknowledgeAlarm();
    case Kind::FrequencySet:
        return core.setFrequency(m.text);
    case Kind::FrequencyStep:
        return core.stepFrequency(m.text, m.stepIndex, m.up);
    case Kind::RadioSettings:
        return core.sendRadioSettings(m.text, m.rateIndex, m.autotxIndex);
    case Kind::Calibrate:
        return core.autoCalibrate();
    case Kind::Factory:
        return core.factory();
    case Kind::SaveSettings:
        return core.saveSettings(m.record);
    case Kind::Wheels:
        return core.setWheels(m.number);
    case Kind::ReloadPreferences:
        return core.reloadPreferences();
    case Kind::PlayTones:
        return; // taken by the server itself
    }
}

} // namespace

MonitorServer::MonitorServer(MonitorCore& core, MessageSink& messages, ToneRouter* tones,
                             QObject* parent)
    : QObject(parent), core_(core), messages_(messages), server_(new LocalListener(this)),
      tones_(tones) {
    if (tones_)
        tones_->setRemote([this](int hz, int ms) {
            bool taken = false;
            for (const auto& c : clients_)
                if (c->playsTones) {
                    taken = true;
                    c->socket->write(wire::tone(hz, ms));
                }
            return taken;
        });
    connect(server_, &LocalListener::newConnection, this, &MonitorServer::accept);
    connectCore();
}

MonitorServer::~MonitorServer() {
    if (tones_)
        tones_->setRemote({});
    // The clients hear the owner go at once, not when the process ends.
    for (const auto& c : clients_) {
        c->socket->disconnect(this); // an abort tells of itself, and dropping would change the list
        c->socket->abort();
    }
}

bool MonitorServer::listen(const QString& path) {
    if (server_->listen(path))
        return true;
    messages_.note(QStringLiteral("vorn: cannot serve the monitor on %1: %2")
                       .arg(path, server_->errorString()));
    return false;
}

void MonitorServer::connectCore() {
    connect(&core_, &MonitorCore::refreshed, this,
            [this] { sendIfChanged(lastTable_, wire::table(core_.state(), core_.blinkPhase())); });
    const auto panels = [this] { sendIfChanged(lastPanels_, wire::panels(core_.panels())); };
    for (const auto signal : {&MonitorCore::brandChanged, &MonitorCore::calibrationChanged,
                              &MonitorCore::factoryChanged, &MonitorCore::frequencyReported,
                              &MonitorCore::linkChanged, &MonitorCore::autotxChanged})
        connect(&core_, signal, this, panels);
    connect(&core_, &MonitorCore::linksChanged, this, [this] {
        sendIfChanged(lastLinks_, wire::links(core_.serialOpen(), core_.usbConnected(),
                                              core_.linkDescription()));
    });
    const auto settings = [this, panels] {
        sendIfChanged(lastSettings_, wire::settings(core_.record(), core_.wheels()));
        panels(); // the unit captions follow the settings
    };
    connect(&core_, &MonitorCore::settingsChanged, this, settings);
    connect(&core_, &MonitorCore::wheelsChanged, this, settings);
    connect(&core_, &MonitorCore::warningsChanged, this,
            [this] { sendIfChanged(lastWarnings_, wire::warnings(core_.warnings())); });
    connect(&core_, &MonitorCore::readingStored, this, [this](int wheel, ReportLink link) {
        if (wheel >= 0 && wheel < kShownWheels)
            lastReports_[static_cast<std::size_t>(wheel)] = QDateTime::currentMSecsSinceEpoch();
        broadcast(wire::reading(wheel, link));
    });
    connect(&core_, &MonitorCore::alarmWasRaised, this, [this](int wheel, std::int32_t status) {
        broadcast(wire::alarmRaised(wheel, status));
    });
    connect(&core_, &MonitorCore::alarmWasEnded, this,
            [this](AlarmEnd how) { broadcast(wire::alarmEnded(how)); });
    connect(&core_, &MonitorCore::modeWasEntered, this,
            [this](MonitorModeValue mode) { broadcast(wire::mode(mode)); });
}

void MonitorServer::sendIfChanged(QByteArray& last, QByteArray now) {
    if (now == last)
        return;
    last = std::move(now);
    broadcast(last);
}

QByteArray MonitorServer::wholeState() const {
    return wire::hello(core_.workDir(), historyFile_ ? historyFile_() : QString(), lastReports_) +
           wire::table(core_.state(), core_.blinkPhase()) + wire::panels(core_.panels()) +
           wire::links(core_.serialOpen(), core_.usbConnected(), core_.linkDescription()) +
           wire::settings(core_.record(), core_.wheels()) + wire::warnings(core_.warnings());
}

// Only this user's own processes: the kernel tells who connected.
bool MonitorServer::samePeer(LocalSocket& socket) const {
    ucred peer{};
    socklen_t size = sizeof peer;
    const int fd = socket.descriptor();
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
}

void MonitorServer::accept() {
    while (LocalSocket* socket = server_->nextPendingConnection()) {
        if (!samePeer(*socket)) {
            messages_.note(QStringLiteral("vorn: refused a connection from another user"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>(Client{socket, {}});
        Client* c = client.get();
        clients_.push_back(std::move(client));
        connect(socket, &LocalSocket::readyRead, this, [this, c] { read(*c); });
        connect(socket, &LocalSocket::disconnected, this, [this, socket] { drop(socket, {}); });
        send(*c, wholeState());
        emit clientsChanged();
    }
}

void MonitorServer::read(Client& client) {
    LocalSocket* socket = client.socket;
    // A reply or what a command changed may drop this very client.
    const auto alive = [this, socket] {
        return std::any_of(clients_.begin(), clients_.end(),
                           [socket](const auto& c) { return c->socket == socket; });
    };
    const QByteArrayList lines = client.reader.feed(socket->readAll());
    const bool overflowed = client.reader.overflowed();
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const wire::ParsedLine parsed = wire::parseClientLine(line);
        if (!parsed.message) {
            send(client, wire::error(parsed.error));
        } else if (parsed.message->kind == wire::ClientMessage::Kind::PlayTones) {
            client.playsTones = true;
        } else {
            try {
                apply(core_, *parsed.message);
            } catch (const std::exception& e) {
                // A save that fails: the client is told, the owner carries on.
                send(client, wire::error(QString::fromUtf8(e.what())));
            }
        }
        if (!alive())
            return;
    }
    if (overflowed)
        drop(socket, QStringLiteral("a line longer than 64 KiB"));
}

void MonitorServer::send(Client& client, const QByteArray& line) {
    client.socket->write(line);
    if (client.socket->bytesToWrite() > kMaxOutbox)
        drop(client.socket, QStringLiteral("it stopped reading"));
}

void MonitorServer::broadcast(const QByteArray& line) {
    // Dropping removes from the list, so go over a copy of the sockets.
    std::vector<Client*> now;
    now.reserve(clients_.size());
    for (const auto& c : clients_)
        now.push_back(c.get());
    for (Client* c : now)
        send(*c, line);
}

void MonitorServer::drop(LocalSocket* socket, const QString& why) {
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [socket](const auto& c) { return c->socket == socket; });
    if (it == clients_.end())
        return;
    clients_.erase(it);
    if (!why.isEmpty())
        messages_.note(QStringLiteral("vorn: dropped a monitor client: %1").arg(why));
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit clientsChanged();
}

} // namespace vorn

namespace vorn {

RuntimeFolder takeOwnership(OwnerLock& owner, MessageSink& messages) {
    RuntimeFolder folder = monitorRuntimeFolder();
    if (!folder.usable())
        messages.note(QStringLiteral("vorn: the monitor is not served: %1").arg(folder.error));
    else
        owner.tryTake(folder);
    return folder;
}

std::unique_ptr<MonitorServer> serveMonitor(MonitorCore& core, MessageSink& messages,
                                            const OwnerLock& owner, const RuntimeFolder& folder,
                                            ToneRouter* tones) {
    if (!owner.held())
        return nullptr;
    auto server = std::make_unique<MonitorServer>(core, messages, tones);
    if (!server->listen(folder.socketPath()))
        return nullptr;
    return server;
}

} // namespace vorn
