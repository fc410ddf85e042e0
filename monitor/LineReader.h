#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace vorn {

// Splits what a socket client sends into lines ended by "\n" (a "\r" before
// it is dropped). A line that grows past the limit, ended or not, marks the
// reader as overflowed for good: the client is then dropped, since nothing
// after it can be trusted to start a line.
class LineReader {
public:
    static constexpr qsizetype kMaxLine = 64 * 1024;

    // The whole lines that `bytes` completes, in order.
    QByteArrayList feed(QByteArrayView bytes);
    bool overflowed() const { return overflowed_; }
    qsizetype pending() const { return partial_.size(); }

private:
    QByteArray partial_;
    bool overflowed_ = false;
};

} // namespace vorn
