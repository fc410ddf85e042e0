#pragma once

#include "monitor/MessageSink.h"

#include <QApplication>

namespace vorn {

// Shows the text of any exception that escapes an event handler and carries on.
class VornApplication : public QApplication {
    Q_OBJECT
public:
    VornApplication(int& argc, char** argv, MessageSink& messages);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    MessageSink& messages_;
};

} // namespace vorn
