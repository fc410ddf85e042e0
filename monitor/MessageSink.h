#pragma once

#include <QString>

namespace vorn {

// Where the program's messages go: the serial link's failures and the text of
// any exception. Tests record them instead.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Lines of `text` after the first are detail that the caller has said on
    // standard error already.
    virtual void show(const QString& text, const QString& caption) = 0;
    // One line for standard error, no box: for what may happen many times.
    virtual void note(const QString& line);
};

// Writes every message's first line to standard error (the rest has been
// said there already), for a program without a window.
class StderrMessageSink : public MessageSink {
public:
    void show(const QString& text, const QString& caption) override;
};

// Caption of the box that shows an exception's text.
inline const QString kExceptionCaption = QStringLiteral("VORN");

} // namespace vorn
