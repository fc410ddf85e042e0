#pragma once

#include <QByteArray>
#include <QString>

namespace vorn::test {

// The far end of a serial line: the program opens `devicePath()`, the test
// writes and reads the unit's side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString devicePath() const { return devicePath_; }
    // Returns once the bytes can be read on the program's side.
    void write(const QByteArray& bytes) const;
    // Returns once written: for a program in another process, which reads
    // them as they come, so that write() would wait for nothing.
    void send(const QByteArray& bytes) const;
    // What the program wrote, waiting up to `ms` for the first byte.
    QByteArray read(int ms = 200) const;
    // Whether the program has taken every byte written, waiting up to `ms`.
    bool taken(int ms) const;
    // Closes the unit's side, as a unit that is switched off or unplugged.
    void hangUp();

private:
    // Bytes the program's side holds unread.
    qsizetype waiting() const;

    int master_ = -1;
    // The program's side, held open (never read) to see when bytes arrive.
    int watch_ = -1;
    QString devicePath_;
};

} // namespace vorn::test
