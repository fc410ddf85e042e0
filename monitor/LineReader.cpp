#include "monitor/LineReader.h"

namespace vorn {

QByteArrayList LineReader::feed(QByteArrayView bytes) {
    QByteArrayList lines;
    while (!overflowed_ && !bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        if (partial_.size() + piece.size() > kMaxLine) {
            overflowed_ = true;
            partial_.clear();
            break;
        }
        partial_.append(piece);
        if (end < 0)
            break;
        if (partial_.endsWith('\r'))
            partial_.chop(1);
        lines.append(std::exchange(partial_, {}));
        bytes = bytes.sliced(end + 1);
    }
    return lines;
}

} // namespace vorn
