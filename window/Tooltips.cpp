// What each control of the window does, for the pointer to show. The texts
// never reach the drawn screen.
#include "window/Tooltips.h"

#include "window/TFmain.h"

#include <utility>

namespace vorn {

QString wrappedTip(const QString& text, qsizetype width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width)
            lines << std::exchange(line, QString());
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    return lines.join(u'\n');
}

void TFmain::setToolTips() {
    const QString wheelTip = QStringLiteral(
        "Ask the unit to learn this wheel's sensor (sends W%1). Right-click for more.");
    int wheel = 0;
    for (Panel* p : {Panel1, Panel3, Panel5, Panel7, Panel12, Panel14})
        p->setToolTip(wheelTip.arg(wheel++));
    Panel9->setToolTip(
        QStringLiteral("Acknowledge the alarm / end the mode: during an alarm a click silences it; "
                       "otherwise it tells the unit to end learning or test mode (sends LEND)."));
    BitBtn1->setToolTip(QStringLiteral("Settings: thresholds, units, link and unit commands."));

    const QString up = QStringLiteral("One step up; past the top it starts again at the bottom.");
    const QString down =
        QStringLiteral("One step down; past the bottom it starts again at the top.");
    for (QPushButton* b : {BitBtn2, BitBtn4, BitBtn6})
        b->setToolTip(up);
    for (QPushButton* b : {BitBtn3, BitBtn5, BitBtn7})
        b->setToolTip(down);
    const QString edit =
        QStringLiteral("The value Save will store; change it with the arrow buttons below.");
    for (QLineEdit* e : {Edit1, Edit2, Edit3})
        e->setToolTip(edit);

    Button1->setToolTip(
        QStringLiteral("Save the thresholds, units and link to setdata.txt and close the panel "
                       "(a new link takes effect at the next start)."));
    Button2->setToolTip(QStringLiteral("Close the panel without saving anything."));
    Button3->setToolTip(QStringLiteral(
        "Learn ID: the unit forgets all sensors and learns them anew (sends LEARN)."));
    Button5->setToolTip(
        QStringLiteral("TEST MOD: put the unit in test mode to check the sensors (sends TEST)."));
    Button4->setToolTip(
        QStringLiteral("Switch the unit's automatic transmission on or off (sends T1 or T0)."));
    RadioGroup1->setToolTip(QStringLiteral("Unit of the pressure digits; applied by Save."));
    RadioGroup2->setToolTip(
        QStringLiteral("Unit of the temperature digits and threshold; applied by Save. "
                       "setdata.txt keeps the threshold in degrees Celsius."));
    RadioGroup3->setToolTip(QStringLiteral(
        "The link to the unit: a serial port COM1 to COM4, or USB only. The unit on USB is "
        "used whatever the choice. Takes effect at the next start."));

    Edit4->setToolTip(QStringLiteral("The receiver frequency word, four hexadecimal digits."));
    Button8->setToolTip(QStringLiteral("Set the unit's receiver to this frequency word (FRX)."));
    Button6->setToolTip(QStringLiteral("Raise the frequency word by the chosen step and send it."));
    Button7->setToolTip(QStringLiteral("Lower the frequency word by the chosen step and send it."));
    ComboBox1->setToolTip(QStringLiteral("Step of Freq + and Freq -."));
    Button10->setToolTip(
        QStringLiteral("Auto Cal: the unit tunes its receiver by itself (sends CAL); "
                       "a second click stops watching."));
    Button11->setToolTip(QStringLiteral(
        "Factory: put the unit in factory mode (sends FAC), or end it (sends LEND)."));
    ComboBox2->setToolTip(
        QStringLiteral("The sensors' radio data rate, sent with the Save beside it."));
    RadioGroup4->setToolTip(
        QStringLiteral("The unit's automatic transmission setting, sent with the Save beside it."));
    Button9->setToolTip(
        QStringLiteral("Send the data rate and automatic transmission settings to the unit (IST); "
                       "the Save beside the thresholds stores them."));

    for (QWidget* w : findChildren<QWidget*>())
        w->setToolTip(wrappedTip(w->toolTip()));
}

} // namespace vorn
