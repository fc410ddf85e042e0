// The owner's socket between real processes: vornd owns the unit on a
// pseudo-terminal, the test attaches as a client over the socket.
#include "monitor/LineReader.h"
#include "sim/Frames.h"
#include "tests/monitor/OwnerProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vorn {
namespace {

using test::hungUp;
using test::Owner;
using test::rawConnect;
using test::socketPath;

// The test's side of the socket, reading whole lines.
class Client {
public:
    Client() { socket.connectToServer(socketPath()); }
    void send(const QByteArray& line) {
        socket.write(line + "\n");
        socket.flush();
    }
    // The first message that `match` accepts, waiting up to `ms` for it.
    QJsonObject waitFor(const std::function<bool(const QJsonObject&)>& match, int ms = 5000) {
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                while (found.isEmpty() && socket.canReadLine()) {
                    seen.push_back(QJsonDocument::fromJson(socket.readLine()).object());
                    found = match(seen.back()) ? seen.back() : found;
                }
                return !found.isEmpty() || socket.state() != QLocalSocket::ConnectedState;
            },
            ms);
        return found;
    }
    QJsonObject waitForType(const QString& type) {
        return waitFor([&](const QJsonObject& o) { return o["type"] == type; });
    }
    bool waitForDisconnect() {
        return QTest::qWaitFor([&] {
            socket.readAll();
            return socket.state() != QLocalSocket::ConnectedState;
        });
    }

    QLocalSocket socket;
    std::vector<QJsonObject> seen;
};

TEST(MonitorSocket, AClientGetsTheWholeStateThenEachChangeAndItsCommandsReachTheUnit) {
    Owner owner(VORND_BINARY);
    Client client;
    const QJsonObject hello = client.waitForType("hello");
    EXPECT_EQ(hello["version"].toInt(), 1);
    // The whole state follows the hello, before any change.
    for (const char* type : {"table", "panels", "links", "settings", "warnings"})
        EXPECT_EQ(client.waitFor([](const QJsonObject&) { return true; })["type"].toString(), type);
    EXPECT_EQ(client.seen[2]["brand"].toObject()["caption"], "KESSIDO");
    EXPECT_EQ(client.seen[2]["brand"].toObject()["colour"], "skyBlue");
    EXPECT_EQ(client.seen[3]["serial"], true);
    EXPECT_EQ(client.seen[4]["settings"].toObject()["lowPressure"], 26);

    owner.unit.send(QByteArray::fromStdString(sim::frame(sim::longReport({1, 0, 40, 65}))));
    // In the order the owner tells them: the brand panel, the alarm, the table.
    EXPECT_EQ(client
                  .waitFor([](const QJsonObject& o) {
                      return o["type"] == "panels" && o["brand"].toObject()["caption"] == "ALARM !";
                  })["brand"]
                  .toObject()["colour"],
              "red");
    EXPECT_EQ(client.waitForType("alarmRaised")["wheel"], 1);
    const QJsonObject alarm = client.waitFor(
        [](const QJsonObject& o) { return o["type"] == "table" && o["alarm"].toBool(); });
    const QJsonObject wheel1 = alarm["wheels"].toArray()[1].toObject();
    EXPECT_EQ(wheel1["pressure"], 40);
    EXPECT_EQ(wheel1["status"], 3); // sensor flag and low pressure

    // Each message, the frame that reaches the unit; nothing for the alarm's
    // acknowledgement.
    const struct {
        QByteArray line, frame;
    } commands[] = {
        {R"({"type":"wheel","wheel":2})", "$W2#"},
        {R"({"type":"acknowledge"})", ""},
        {R"({"type":"brand"})", "$LEND#"},
        {R"({"type":"learn"})", "$LEARN#"},
        {R"({"type":"test"})", "$TEST#"},
        {R"({"type":"autotx"})", "$T1#"},
        {R"({"type":"frequencySet","text":"2cb"})", "$FRX02cb#"},
        {R"({"type":"frequencyStep","text":"2CAA","step":9,"up":false})", "$FRX2CA0#"},
        {R"({"type":"radioSettings","text":"2CAA","rate":3,"autotx":1})", "$IST31AB#"},
        {R"({"type":"calibrate"})", "$CAL#"},
        {R"({"type":"factory"})", "$FAC#"},
        {R"({"type":"reloadPreferences"})", ""},
    };
    for (const auto& c : commands) {
        client.send(c.line);
        client.send(R"({"type":"wheel","wheel":5})"); // marks the end of what one line sent
        EXPECT_EQ(owner.unit.read(5000), c.frame + "$W5#") << c.line.constData();
    }
    EXPECT_EQ(client.waitForType("alarmEnded")["how"], "acknowledged");
}

// The analysis runs in the owner; its warnings reach every client, and one
// that connects later finds them in the whole state.
TEST(MonitorSocket, TheOwnersTyreWarningsReachItsClients) {
    qputenv("VORN_TEST_SILENT_SECONDS", "1");
    Owner owner(VORND_BINARY);
    qunsetenv("VORN_TEST_SILENT_SECONDS");
    Client client;
    const auto report = [&](int wheel) {
        owner.unit.send(QByteArray::fromStdString(sim::frame(sim::longReport({wheel, 0, 64, 65}))));
    };
    const auto silent = [](const QJsonObject& o) {
        return o["type"] == "warnings" &&
               o["wheels"].toArray()[1].toString().startsWith("Wheel 1: no report for");
    };
    report(1);
    // Wheel 0 reports on while wheel 1 stays silent.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return report(0), !client.waitFor(silent, 500).isEmpty(); }, 30000));
    Client later;
    EXPECT_FALSE(later.waitFor(silent).isEmpty());
}

TEST(MonitorSocket, LinesThatAreNoKnownMessageAreAnsweredWithAnErrorAndIgnored) {
    Owner owner(VORND_BINARY);
    Client client;
    client.waitForType("settings");
    const struct {
        QByteArray line;
        QString error;
    } cases[] = {
        {"{broken", "not a JSON object"},
        {"[1,2]", "not a JSON object"},
        {R"({"type":"reboot"})", "unknown type"},
        {R"({"wheel":1})", "unknown type"},
        {R"({"type":"wheel","wheel":6})", "bad fields for \"wheel\""},
        {R"({"type":"wheel","wheel":1.5})", "bad fields for \"wheel\""},
        {R"({"type":"wheel","wheel":"1"})", "bad fields for \"wheel\""},
        {R"({"type":"frequencySet","text":"2CAA2CAA2CAA2CAA2"})",
         "bad fields for \"frequencySet\""},
        {R"({"type":"saveSettings","settings":{"lowPressure":26}})",
         "bad fields for \"saveSettings\""},
        {R"({"type":"setWheels","wheels":5})", "bad fields for \"setWheels\""},
    };
    for (const auto& c : cases) {
        client.send(c.line);
        EXPECT_EQ(client.waitForType("error")["message"].toString(), c.error) << c.line.constData();
    }
    // Nothing of it reached the unit, and the client is still served.
    client.send(R"({"type":"wheel","wheel":0})");
    EXPECT_EQ(owner.unit.read(5000), "$W0#");
    EXPECT_EQ(owner.dir.read("setdata.txt"), "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST(MonitorSocket, ASettingsSaveFromAClientIsStoredAndToldToEveryClient) {
    Owner owner(VORND_BINARY);
    Client saver, watcher;
    saver.waitForType("settings");
    watcher.waitForType("settings");
    saver.send(R"({"type":"saveSettings","settings":{"lowPressure":30,"highPressure":50,)"
               R"("highTemperature":80,"pressureUnit":1,"temperatureUnit":1,"port":0,)"
               R"("dataRate":2,"autoTx":1}})");
    EXPECT_EQ(watcher.waitForType("settings")["settings"].toObject()["highTemperature"], 80);
    EXPECT_EQ(
        watcher.waitFor([](const QJsonObject& o) { return o["type"] == "panels"; })["pressureUnit"],
        "Bar");
    EXPECT_EQ(owner.dir.read("setdata.txt"), "30\r\n50\r\n80\r\n1\r\n1\r\n0\r\n2\r\n1\r\n");
}

TEST(MonitorSocket, AClientThatSendsAnOverlongLineOrNeverReadsIsDroppedAndOthersAreServed) {
    Owner owner(VORND_BINARY);
    Client flooder, watcher;
    flooder.waitForType("settings");
    watcher.waitForType("settings");
    flooder.socket.write(QByteArray(LineReader::kMaxLine + 1, 'x'));
    EXPECT_TRUE(flooder.waitForDisconnect());

    // Asks for error lines and never reads them: the owner's outbox for it
    // fills up to its cap, then the owner lets it go.
    [[maybe_unused]] const long before = owner.residentKiB();
    const int deaf = rawConnect(socketPath());
    ASSERT_GE(deaf, 0);
    const timeval bound{5, 0}; // a send that hangs fails instead
    ::setsockopt(deaf, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    const QByteArray junk = QByteArray("x\n").repeated(4096);
    // 16 MiB of requests would be answered by 400 MiB held for it, uncapped.
    bool dropped = false;
    for (qsizetype sent = 0; !dropped && sent < 16 * 1024 * 1024;) {
        const ssize_t n = ::send(deaf, junk.constData(), junk.size(), MSG_NOSIGNAL);
        if (n < 0)
            break;
        sent += n;
        dropped = hungUp(deaf, 0);
    }
    EXPECT_TRUE(dropped || hungUp(deaf, 5000));
    ::close(deaf);
#ifndef __SANITIZE_THREAD__
    // The capped outbox, the socket buffers and what the allocator keeps
    // (a sanitizer's shadow memory would swamp the figure).
    EXPECT_LT(owner.residentKiB() - before, 16 * 1024);
#endif

    owner.unit.send(QByteArray::fromStdString(sim::frame(sim::longReport({0, 0, 64, 65}))));
    EXPECT_EQ(watcher.waitFor([](const QJsonObject& o) {
        return o["type"] == "table" && o["wheels"].toArray()[0].toObject()["pressure"] == 64;
    })["type"],
              "table");
}

TEST(MonitorSocket, ASecondVorndStandsByAndTakesTheUnitOverWithin3sWhenTheOwnerEnds) {
    Owner owner(VORND_BINARY);
    QProcess standby;
    owner.start(standby, VORND_BINARY);
    ASSERT_TRUE(standby.waitForStarted(10000));
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (said += standby.readAllStandardError()).contains("standing by"); }, 10000))
        << said.constData();

    Client attached, another; // the owner lets its clients go as it ends, and ends cleanly
    attached.waitForType("settings");
    another.waitForType("settings");
    QElapsedTimer clock;
    clock.start();
    owner.process.terminate();
    ASSERT_TRUE(owner.process.waitForFinished(5000)); // so no client reaches the old owner
    EXPECT_EQ(owner.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(owner.process.exitCode(), 0);
    EXPECT_TRUE(attached.waitForDisconnect());
    std::unique_ptr<Client> client;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        client = std::make_unique<Client>();
        return client->waitForType("hello")["type"] == "hello";
    }));
    EXPECT_LT(clock.elapsed(), 3000);
    owner.unit.send(QByteArray::fromStdString(sim::frame(sim::longReport({2, 0, 70, 65}))));
    EXPECT_EQ(client->waitFor([](const QJsonObject& o) {
        return o["type"] == "table" && o["wheels"].toArray()[2].toObject()["pressure"] == 70;
    })["type"],
              "table");
    standby.kill();
    standby.waitForFinished(5000);
}

TEST(MonitorSocket, AnotherUserIsRefusedByTheFolderAndByThePeerCheck) {
    Owner owner(VORND_BINARY);
    const QString folder = monitorRuntimeFolder().path;
    int error = 0;
    test::runUnprivileged([&] { error = -rawConnect(socketPath()); });
    EXPECT_EQ(error, EACCES);
    // Were the folder and socket open to anyone, the owner still refuses.
    for (QDir d(folder); d.path() != QDir::tempPath() && !d.isRoot(); d.cdUp())
        ::chmod(QFile::encodeName(d.path()).constData(), 0755);
    ::chmod(QFile::encodeName(socketPath()).constData(), 0777);
    QByteArray got = "unread";
    test::runUnprivileged([&] {
        const int fd = rawConnect(socketPath());
        if (fd < 0)
            return;
        got.clear();
        char bytes[256];
        pollfd p{fd, POLLIN, 0};
        for (ssize_t n = 1; n > 0 && ::poll(&p, 1, 5000) == 1;) {
            n = ::read(fd, bytes, sizeof bytes);
            if (n > 0)
                got.append(bytes, n);
        }
        ::close(fd);
    });
    EXPECT_EQ(got, "") << "no hello, no state";
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    Client mine;
    EXPECT_EQ(mine.waitForType("hello")["type"], "hello");
}

TEST(MonitorSocket, AFolderOthersCouldEnterOrAnotherUserOwnsIsNotUsed) {
    const test::WorkDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QByteArray path = QFile::encodeName(runtime.file("vorn"));
    EXPECT_TRUE(monitorRuntimeFolder().usable());
    struct stat st {};
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(path.constData(), 0750);
    EXPECT_TRUE(monitorRuntimeFolder().error.contains("open to other users"));
    ::chmod(path.constData(), 0700);
    ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
    EXPECT_TRUE(monitorRuntimeFolder().error.contains("belongs to another user"));
    ::rmdir(path.constData());
    QFile::link(QDir::tempPath(), runtime.file("vorn"));
    EXPECT_TRUE(monitorRuntimeFolder().error.contains("is not a folder"));
}

TEST(MonitorSocket, TheLineReaderJoinsPiecesAndStopsForGoodAtAnOverlongLine) {
    LineReader reader;
    EXPECT_TRUE(reader.feed("{\"ty").isEmpty());
    EXPECT_EQ(reader.feed("pe\":1}\r\n\n{"), (QByteArrayList{"{\"type\":1}", ""}));
    EXPECT_EQ(reader.pending(), 1);
    EXPECT_TRUE(reader.feed(QByteArray(LineReader::kMaxLine, 'x')).isEmpty());
    EXPECT_TRUE(reader.overflowed());
    EXPECT_TRUE(reader.feed("\n{}\n").isEmpty());
}

} // namespace
} // namespace vorn
