#pragma once

#include "publish/ConnectionTest.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>

namespace vorn {

// "Test connection" and what came of it: one try with the broker values as
// typed, on a thread of its own, so the dialog stays live meanwhile.
class ConnectionTestBox : public QWidget {
    Q_OBJECT
public:
    // `typed` gives the [mqtt] values as the dialog holds them now.
    ConnectionTestBox(std::function<QMap<QString, QString>()> typed, QWidget* parent = nullptr);

    void test();
    QPushButton* button() const { return button_; }
    QLabel* result() const { return result_; }

signals:
    void tested(bool connected);

private:
    std::function<QMap<QString, QString>()> typed_;
    QPushButton* button_; // owned through its parent, this
    QLabel* result_;      // likewise
    mqtt::ConnectionTest try_;
};

} // namespace vorn
