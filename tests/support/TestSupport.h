#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace vorn::test {

// A fresh working folder, removed at the end of the test.
class WorkDir {
public:
    WorkDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    // setdata.txt with the given lines, each ended by CR LF.
    void writeSettings(const QStringList& lines) const;

private:
    QTemporaryDir dir_;
};

// Runs `work` on a thread of its own with the rights of user and group
// 65534 (nobody), even when the tests run as root: that thread alone drops
// them, so the kernel's own permission checks apply to what it opens.
void runUnprivileged(const std::function<void()>& work);
// Makes `process`, once started, run with the rights of nobody too.
void runAsNobody(QProcess& process);

// A program that ran to its end: its exit code (-1 when it crashed or did
// not end in time) and what it wrote.
struct Ran {
    int exitCode = -1;
    QByteArray out, err;
};
// Runs `program` in `folder` until it ends, at most `ms`; `setUp` may
// change the process before it starts.
Ran runToEnd(const QString& program, const QStringList& args, const QString& folder,
             void (*setUp)(QProcess&) = nullptr, int ms = 30000);

// The eight lines of a fresh installation.
QStringList defaultSettings();

// Runs the event loop until `done`, at most `ms`; true when it came.
inline bool within(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace vorn::test
