#include "tests/support/TestSupport.h"

#include <QFile>
#include <stdexcept>

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

QStringList defaultSettings() {
    return {"26", "45", "70", "0", "0", "0", "0", "0"};
}

} // namespace vorn::test
