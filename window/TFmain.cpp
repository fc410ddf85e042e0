#include "window/TFmain.h"

#include <QScreen>
#include <QShowEvent>
#include <exception>

namespace vorn {

namespace {

QString fromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TFmain::TFmain(MonitorModel& core, MessageSink& messages, QWidget* parent)
    : QWidget(parent), core_(core), messages_(messages) {
    setWindowTitle(QStringLiteral("VORN"));
    // Controls with their design texts, then what the monitor holds now.
    createControls();
    connectHandlers();
    createContextMenu();
    setToolTips();
    SetGeometry();
    ShowSettings();
    ShowWheels();
    ShowBrand();
    ShowCalibration();
    ShowFactory();
    Edit4->setText(fromLatin1(core_.panels().frequencyText));
    Panel11->setCaption(fromLatin1(core_.panels().linkText));
    Button4->setText(fromLatin1(core_.panels().autotxCaption));
    SyncModeTag();
    connectCore();
}

void TFmain::connectHandlers() {
    bind(BitBtn1, &QPushButton::clicked, &TFmain::BitBtn1Click);
    bind(BitBtn2, &QPushButton::clicked, &TFmain::BitBtn2Click);
    bind(BitBtn3, &QPushButton::clicked, &TFmain::BitBtn3Click);
    bind(BitBtn4, &QPushButton::clicked, &TFmain::BitBtn4Click);
    bind(BitBtn5, &QPushButton::clicked, &TFmain::BitBtn5Click);
    bind(BitBtn6, &QPushButton::clicked, &TFmain::BitBtn6Click);
    bind(BitBtn7, &QPushButton::clicked, &TFmain::BitBtn7Click);
    bind(Button1, &QPushButton::clicked, &TFmain::Button1Click);
    bind(Button2, &QPushButton::clicked, &TFmain::Button2Click);
    bind(Button3, &QPushButton::clicked, &TFmain::Button3Click);
    bind(Button4, &QPushButton::clicked, &TFmain::Button4Click);
    bind(Button5, &QPushButton::clicked, &TFmain::Button5Click);
    bind(Panel9, &Panel::clicked, &TFmain::Panel9Click);
    bind(Button8, &QPushButton::clicked, &TFmain::Button8Click);
    bind(Button6, &QPushButton::clicked, &TFmain::Button6Click);
    bind(Button7, &QPushButton::clicked, &TFmain::Button7Click);
    bind(Button10, &QPushButton::clicked, &TFmain::Button10Click);
    bind(Button11, &QPushButton::clicked, &TFmain::Button11Click);
    bind(Button9, &QPushButton::clicked, &TFmain::Button9Click);
    bind(Panel1, &Panel::clicked, &TFmain::Panel1Click);
    bind(Panel3, &Panel::clicked, &TFmain::Panel3Click);
    bind(Panel5, &Panel::clicked, &TFmain::Panel5Click);
    bind(Panel7, &Panel::clicked, &TFmain::Panel7Click);
    bind(Panel12, &Panel::clicked, &TFmain::Panel12Click);
    bind(Panel14, &Panel::clicked, &TFmain::Panel14Click);
}

// Every change of the monitor shows at once, in the same tick that made it.
void TFmain::connectCore() {
    connect(&core_, &MonitorModel::refreshed, this, [this] { guarded(&TFmain::RefreshDisplay); });
    connect(&core_, &MonitorModel::brandChanged, this, &TFmain::ShowBrand);
    connect(&core_, &MonitorModel::modeWasEntered, this, &TFmain::SyncModeTag);
    connect(&core_, &MonitorModel::calibrationChanged, this, &TFmain::ShowCalibration);
    connect(&core_, &MonitorModel::factoryChanged, this, &TFmain::ShowFactory);
    connect(&core_, &MonitorModel::frequencyReported, this,
            [this] { Edit4->setText(fromLatin1(core_.panels().frequencyText)); });
    connect(&core_, &MonitorModel::linkChanged, this,
            [this] { Panel11->setCaption(fromLatin1(core_.panels().linkText)); });
    connect(&core_, &MonitorModel::autotxChanged, this,
            [this] { Button4->setText(fromLatin1(core_.panels().autotxCaption)); });
    connect(&core_, &MonitorModel::settingsChanged, this, &TFmain::ShowSettings);
    connect(&core_, &MonitorModel::wheelsChanged, this, &TFmain::ShowWheels);
}

void TFmain::guarded(void (TFmain::*handler)()) noexcept {
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        messages_.show(QString::fromUtf8(e.what()), kExceptionCaption);
    } catch (...) {
        messages_.show(QStringLiteral("Unknown error"), kExceptionCaption);
    }
}

void TFmain::ShowBrand() {
    Panel9->setCaption(fromLatin1(core_.panels().brandCaption));
    Panel9->setColor(toQColor(core_.panels().brandColour));
}

void TFmain::ShowCalibration() {
    Panel17->setCaption(fromLatin1(core_.panels().calibrationCaption));
    Panel17->setColor(toQColor(core_.panels().calibrationColour));
}

void TFmain::ShowFactory() {
    Panel18->setColor(toQColor(core_.panels().factoryColour));
}

void TFmain::FormShow() {
    screen_.DrawStaticScreen();
    PlacePanels();
    for (int wheel = 0; wheel < kShownWheels; ++wheel)
        screen_.DrawBatteryIcon(wheel);
    ShowCanvasChanges();
}

void TFmain::FormPaint() {
    // Everything is drawn on the canvas, which repaints itself.
}

void TFmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    if (!event->spontaneous())
        guarded(&TFmain::FormShow);
}

void TFmain::paintEvent(QPaintEvent*) {
    FormPaint();
}

void TFmain::RefreshDisplay() {
    screen_.RefreshDisplay(core_.blinkPhase());
    ShowCanvasChanges();
}

void TFmain::ShowCanvasChanges() {
    const QRegion dirty = canvas_.takeDirty();
    if (!dirty.isEmpty())
        Image1->repaint(dirty); // the view sits at the canvas origin
}

void TFmain::Button3Click() {
    core_.learn();
    Panel10->hide();
}

void TFmain::Button5Click() {
    core_.testMode();
    Panel10->hide();
}

void TFmain::SendWheelCommand(int wheel) {
    core_.sendWheelCommand(wheel);
    Panel10->hide();
}

} // namespace vorn
