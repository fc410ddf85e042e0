#include "tests/support/TestSupport.h"

#include <QFile>
#include <stdexcept>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {

WorkDir::WorkDir() {
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

void WorkDir::write(const QString& name, const QByteArray& bytes) const {
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a test file");
}

QByteArray WorkDir::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WorkDir::writeSettings(const QStringList& lines) const {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    write(QStringLiteral("setdata.txt"), bytes);
}

namespace {

// Raw system calls: the C library's wrappers would change every thread.
void becomeNobody() {
    constexpr long kNobody = 65534;
    ::syscall(SYS_setgroups, 0, nullptr);
    ::syscall(SYS_setresgid, kNobody, kNobody, kNobody);
    ::syscall(SYS_setresuid, kNobody, kNobody, kNobody);
}

} // namespace

void runUnprivileged(const std::function<void()>& work) {
    std::thread([&work] {
        becomeNobody();
        work();
    }).join();
}

void runAsNobody(QProcess& process) {
    process.setChildProcessModifier(becomeNobody);
}

Ran runToEnd(const QString& program, const QStringList& args, const QString& folder,
             void (*setUp)(QProcess&), int ms) {
    QProcess p;
    p.setWorkingDirectory(folder);
    if (setUp)
        setUp(p);
    p.start(program, args);
    const bool ended = p.waitForFinished(ms) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

QStringList defaultSettings() {
    return {"26", "45", "70", "0", "0", "0", "0", "0"};
}

} // namespace vorn::test
