// Construction of the main window's controls with their design texts,
// defaults and places.
#include "window/Glyphs.h"
#include "window/TFmain.h"

#include <QFontDatabase>
#include <QPixmap>

namespace vorn {

namespace {

constexpr QColor kSilver(192, 192, 192);
constexpr int kPanelFontPixels = 16;

Panel* makePanel(QWidget* parent, const QString& caption, const QColor& color) {
    auto* panel = new Panel(parent, caption);
    panel->setColor(color);
    return panel;
}

QPushButton* makeButton(QWidget* parent, const QString& text, QRect place) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(place);
    return button;
}

QPushButton* makeStepButton(QWidget* parent, const QImage& glyph, QRect place) {
    auto* button = makeButton(parent, {}, place);
    button->setIcon(QPixmap::fromImage(glyph));
    button->setIconSize(glyph.size());
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QPoint place) {
    auto* label = new QLabel(text, parent);
    label->move(place);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& text, QRect place) {
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(place);
    return edit;
}

constexpr int kDesignClientHeight = 442;
// The temperature captions' "。"; no default font has it.
const QString kFullStopFont = QStringLiteral("Sawarabi Gothic");

} // namespace

void TFmain::createControls() {
    Image1 = new ImageView(this, canvas_.image());

    for (Panel** p : {&Panel1, &Panel3, &Panel5, &Panel7, &Panel12, &Panel14})
        *p = makePanel(this, QStringLiteral("PSI"), kSilver);
    for (Panel** p : {&Panel2, &Panel4, &Panel6, &Panel8, &Panel13, &Panel15})
        *p = makePanel(this, QStringLiteral("Degree C"), kSilver);

    Panel9 = makePanel(this, QStringLiteral("KESSIDO"), toQColor(PanelColour::SkyBlue));
    QFont brandFont = Panel9->font();
    brandFont.setPixelSize(kPanelFontPixels);
    brandFont.setBold(true);
    Panel9->setFont(brandFont);

    Panel11 = makePanel(this, {}, Panel::buttonFace());

    BitBtn1 = new QPushButton(QStringLiteral("SET"), this);
    BitBtn1->setIcon(setButtonIcon());
    BitBtn1->setIconSize(QSize(32, 32));

    Memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
    Memo1->hide();

    createSettingsPanel();
}

void TFmain::createSettingsPanel() {
    Panel10 = makePanel(this, QStringLiteral(" "), palette().color(QPalette::Dark));
    QFont font = Panel10->font();
    font.setPixelSize(kPanelFontPixels);
    Panel10->setFont(font);
    Panel10->hide();

    QWidget* p = Panel10;
    Label1 = makeLabel(p, QStringLiteral("Pressure"), {8, 16});
    Label2 = makeLabel(p, QStringLiteral("Pressure"), {88, 16});
    Label3 = makeLabel(p, QStringLiteral("Temperatur"), {160, 16});
    Label4 = makeLabel(p, QStringLiteral("Low Set"), {8, 40});
    Label5 = makeLabel(p, QStringLiteral("High Set"), {88, 40});
    Label6 = makeLabel(p, QStringLiteral("High Set"), {168, 40});
    Edit1 = makeEdit(p, QStringLiteral("26"), {8, 72, 65, 28});
    Edit2 = makeEdit(p, QStringLiteral("45"), {88, 72, 65, 28});
    Edit3 = makeEdit(p, QStringLiteral("70"), {168, 72, 65, 28});
    // The arrows are the only way to change a threshold; typed text was
    // never stored, so it cannot be typed.
    for (QLineEdit* e : {Edit1, Edit2, Edit3})
        e->setReadOnly(true);
    BitBtn2 = makeStepButton(p, stepUpGlyph(), {8, 112, 65, 57});
    BitBtn4 = makeStepButton(p, stepUpGlyph(), {88, 112, 65, 57});
    BitBtn6 = makeStepButton(p, stepUpGlyph(), {168, 112, 65, 57});
    BitBtn3 = makeStepButton(p, stepDownGlyph(), {8, 176, 65, 57});
    BitBtn5 = makeStepButton(p, stepDownGlyph(), {88, 176, 65, 57});
    BitBtn7 = makeStepButton(p, stepDownGlyph(), {168, 176, 65, 57});

    RadioGroup1 = new RadioGroup(p, QStringLiteral("Press Unit"),
                                 {QStringLiteral("Psi"), QStringLiteral("Bar"),
                                  QStringLiteral("Kpa"), QStringLiteral("Kg/Cm")});
    RadioGroup1->setGeometry(248, 48, 129, 113);
    RadioGroup2 = new RadioGroup(p, QStringLiteral("Temperature"),
                                 {QStringLiteral("\u3002C"), QStringLiteral("\u3002F")}, 2);
    RadioGroup2->setGeometry(248, 176, 137, 57);
    if (QFontDatabase::hasFamily(kFullStopFont)) {
        QFont captions = RadioGroup2->font();
        captions.setFamily(kFullStopFont);
        RadioGroup2->setFont(captions);
    }
    RadioGroup3 =
        new RadioGroup(p, QStringLiteral("RS232"),
                       {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                        QStringLiteral("COM4"), QStringLiteral("USB")});
    RadioGroup3->setGeometry(384, 16, 81, 161);

    Button1 = makeButton(p, QStringLiteral("Save"), {392, 184, 73, 49});
    Button3 = makeButton(p, QStringLiteral("Learn ID"), {248, 16, 97, 33});

    createTuningGroup();

    // These three lie over the right part of the tuning group and stay above it.
    Button5 = makeButton(p, QStringLiteral("TEST MOD"), {360, 256, 97, 25});
    Button4 = makeButton(p, QStringLiteral("AUTOTX ON"), {360, 296, 97, 25});
    Button2 = makeButton(p, QStringLiteral("Exit"), {360, 352, 97, 25});
}

void TFmain::createTuningGroup() {
    Panel16 = makePanel(Panel10, {}, Panel::buttonFace());
    Panel16->setGeometry(8, 248, 457, 137);

    // The group's own controls keep to its left part, clear of the buttons
    // that lie over its right part (from 352 on, in the group's coordinates).
    QWidget* g = Panel16;
    Edit4 = makeEdit(g, QStringLiteral("2CAA"), {6, 6, 58, 28});
    Button8 = makeButton(g, QStringLiteral("Freq Set"), {68, 6, 80, 28});
    Button6 = makeButton(g, QStringLiteral("Freq +"), {152, 6, 62, 28});
    Button7 = makeButton(g, QStringLiteral("Freq -"), {218, 6, 62, 28});
    QStringList steps;
    for (int i = 1; i <= 10; ++i)
        steps << QString::number(i);
    ComboBox1 = new ChoiceBox(g, steps, 9);
    ComboBox1->setGeometry(284, 6, 60, 28);

    Button10 = makeButton(g, QStringLiteral("Auto Cal"), {6, 40, 80, 28});
    Panel17 = makePanel(g, {}, Panel::buttonFace());
    Panel17->setGeometry(90, 40, 102, 28);
    Button11 = makeButton(g, QStringLiteral("Factory"), {198, 40, 80, 28});
    Panel18 = makePanel(g, {}, Panel::buttonFace());
    Panel18->setGeometry(284, 40, 60, 28);

    ComboBox2 = new ChoiceBox(g,
                              {QStringLiteral("42   ms"), QStringLiteral("84   ms"),
                               QStringLiteral("168 ms"), QStringLiteral("336 ms"),
                               QStringLiteral("672 ms"), QStringLiteral("1.3  sec"),
                               QStringLiteral("2.6  sec"), QStringLiteral("5.2 sec")},
                              0);
    ComboBox2->setGeometry(6, 90, 100, 28);
    RadioGroup4 = new RadioGroup(g, QStringLiteral("Autotx"),
                                 {QStringLiteral("On"), QStringLiteral("Off")}, 2);
    RadioGroup4->setGeometry(112, 74, 136, 56);
    Button9 = makeButton(g, QStringLiteral("Save"), {254, 90, 90, 28});
}

void TFmain::SetGeometry() {
    move(250, 200); // replaced by centring when first shown
    for (Panel* p : {Panel1, Panel2, Panel3, Panel4, Panel5, Panel6, Panel7, Panel8, Panel12,
                     Panel13, Panel14, Panel15})
        p->resize(100, 20);
    Panel11->resize(120, 20);
    BitBtn1->setGeometry(362, 175, 80, 70);
    Panel9->setGeometry(10, 210, 120, 35);
}

// The design's 480 by 476 is the outer size; its client area ends at the
// tops of the wheel 4 and 5 panels. A six-wheel vehicle shows the whole canvas.
void TFmain::applyView() {
    const bool six = core_.wheels() > 4;
    setFixedSize(Canvas::Width, six ? Canvas::Height : kDesignClientHeight);
    Image1->setGeometry(0, 0, width(), height());
    if (Panel10->isVisible())
        Panel10->setGeometry(Image1->geometry());
}

void TFmain::PlacePanels() {
    constexpr int x = 20;   // left column of the digit cells
    constexpr int dx = 330; // right column offset
    const struct {
        Panel* panel;
        int left;
        int top;
    } places[] = {
        {Panel1, x, 2},    {Panel2, x, 137},  {Panel3, x + dx, 2},    {Panel4, x + dx, 137},
        {Panel5, x, 262},  {Panel6, x, 397},  {Panel7, x + dx, 262},  {Panel8, x + dx, 397},
        {Panel12, x, 442}, {Panel13, x, 577}, {Panel14, x + dx, 442}, {Panel15, x + dx, 577},
    };
    for (const auto& place : places)
        place.panel->move(place.left, place.top);
    Panel11->move((width() - Panel11->width()) / 2 - 10, 410);
}

} // namespace vorn
