#include "monitor/MessageSink.h"

#include <cstdio>

namespace vorn {

void MessageSink::note(const QString& line) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

void StderrMessageSink::show(const QString& text, const QString& caption) {
    std::fprintf(stderr, "vorn: %s: %s\n", qUtf8Printable(caption),
                 qUtf8Printable(text.section(u'\n', 0, 0)));
    std::fflush(stderr);
}

} // namespace vorn
