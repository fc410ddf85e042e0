#include "window/Controls.h"

#include <QApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>

namespace vorn {

QColor toQColor(PanelColour colour) {
    switch (colour) {
    case PanelColour::SkyBlue:
        return {166, 202, 240};
    case PanelColour::Red:
        return {255, 0, 0};
    case PanelColour::Blue:
        return {0, 0, 255};
    case PanelColour::Yellow:
        return {255, 255, 0};
    case PanelColour::Lime:
        return {0, 255, 0};
    case PanelColour::ButtonFace:
        break;
    }
    return Panel::buttonFace();
}

Panel::Panel(QWidget* parent, const QString& caption) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
    setColor(buttonFace());
}

QColor Panel::buttonFace() {
    return QApplication::palette().color(QPalette::Button);
}

QColor Panel::color() const {
    return palette().color(QPalette::Window);
}

void Panel::setColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void Panel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void Panel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

RadioGroup::RadioGroup(QWidget* parent, const QString& title, const QStringList& items, int columns)
    : QGroupBox(title, parent), buttons_(this) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 0, 0);
    grid->setSpacing(0);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_.addButton(button, i);
        grid->addWidget(button, i % rows, i / rows);
    }
    setItemIndex(0);
}

void RadioGroup::setItemIndex(int index) {
    if (index >= count())
        index = count() - 1;
    if (index < 0) {
        // An exclusive group never lets the last checked button go by itself.
        buttons_.setExclusive(false);
        for (QAbstractButton* button : buttons_.buttons())
            button->setChecked(false);
        buttons_.setExclusive(true);
        return;
    }
    buttons_.button(index)->setChecked(true);
}

ChoiceBox::ChoiceBox(QWidget* parent, const QStringList& items, int index) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    addItems(items);
    setItemIndex(index);
}

int ChoiceBox::itemIndex() const {
    const int current = currentIndex();
    if (current >= 0 && itemText(current) == currentText())
        return current;
    return findText(currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void ChoiceBox::setItemIndex(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

ImageView::ImageView(QWidget* parent, const QImage& image) : QWidget(parent), image_(image) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r, image_, r);
}

} // namespace vorn
