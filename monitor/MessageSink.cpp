#include "monitor/MessageSink.h"

#include <cstdio>

namespace vorn {

void MessageSink::note(const QString& line) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

} // namespace vorn
