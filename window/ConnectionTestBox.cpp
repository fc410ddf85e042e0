#include "window/ConnectionTestBox.h"

#include <QHBoxLayout>
#include <QSysInfo>

namespace vorn {

ConnectionTestBox::ConnectionTestBox(std::function<QMap<QString, QString>()> typed, QWidget* parent)
    : QWidget(parent), typed_(std::move(typed)),
      button_(new QPushButton(QStringLiteral("Test connection"), this)), result_(new QLabel(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(button_);
    row->addWidget(result_, 1);
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(button_, &QPushButton::clicked, this, &ConnectionTestBox::test);
    connect(&try_, &mqtt::ConnectionTest::finished, this,
            [this](bool connected, const QString& text) {
                button_->setEnabled(true);
                result_->setText(text);
                emit tested(connected);
            });
}

void ConnectionTestBox::test() {
    const mqtt::LoadResult typed = mqtt::checkSettings(typed_(), QSysInfo::machineHostName());
    if (!typed.error.isEmpty()) {
        result_->setText(typed.error);
        return;
    }
    if (!typed.settings) {
        result_->setText(QStringLiteral("Name a broker host first."));
        return;
    }
    button_->setEnabled(false);
    result_->setText(
        QStringLiteral("Connecting to %1:%2…").arg(typed.settings->host).arg(typed.settings->port));
    try_.start(*typed.settings);
}

} // namespace vorn
