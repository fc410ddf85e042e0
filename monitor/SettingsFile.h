#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>

namespace vorn {

inline constexpr auto kSettingsFileName = "setdata.txt";
// Lines 1 to 8 hold the settings; anything after them is kept as it stands.
inline constexpr int kSettingsLines = 8;

// The line buffer of the settings file. CR LF, a lone CR and a lone LF all end
// a line when reading; writing always uses CR LF after every line. Bytes are
// kept one to one (Latin-1), so lines the program does not read survive a save.
class SettingsText {
public:
    static SettingsText fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    int lineCount() const { return static_cast<int>(lines_.size()); }
    // The text of line `index` (0-based); empty when there is no such line.
    QString line(int index) const;
    // Replaces an existing line; a line that does not exist is not added.
    void replaceLine(int index, const QString& text);
    // The buffer as one text with LF line ends, for display.
    QString plainText() const { return lines_.join(QLatin1Char('\n')); }

private:
    QStringList lines_;
};

// A settings line that is not a whole number. what() is the unit's own text,
// the first line the user is shown; place() names the file and the line
// below it, and where() is both, for standard error.
class SettingsLineError : public std::runtime_error {
public:
    SettingsLineError(const std::runtime_error& cause, const QString& path, int lineNumber)
        : std::runtime_error(cause),
          place_(QStringLiteral("%1, line %2").arg(path).arg(lineNumber)) {}
    // "<path>, line <n>"
    const QString& place() const { return place_; }
    // "<path>, line <n>: <the cause's text>"
    QString where() const { return place_ + QStringLiteral(": ") + QString::fromUtf8(what()); }

private:
    QString place_;
};

// Decimal whole number with an optional sign, surrounding blanks allowed.
// Throws "'<text>' is not a valid integer value" for anything else, including
// values outside the 32-bit range.
std::int32_t parseSettingInteger(const QString& text);

// Throws "Cannot open file <path>" when the file cannot be read.
SettingsText loadSettingsFile(const QString& path);

// Replaces the file in one step, so an interrupted save leaves the old file
// whole. Throws "Cannot create file <path>" when it cannot be written.
void saveSettingsFile(const QString& path, const SettingsText& text);

// The eight settings of the file as the program holds them: the thresholds
// as written, the five choices as the settings panel's controls take them
// (radio groups: below 0 none, -1, and past the last item the last; the data
// rate: any value outside its eight entries none).
struct SettingsRecord {
    std::int32_t LowPressureSet = 26;  // whole psi
    std::int32_t HighPressureSet = 45; // whole psi
    std::int32_t HighTempSet = 70;     // whole degrees Celsius
    std::int32_t PressureUnit = 0;     // -1 to 3: Psi, Bar, Kpa, Kg/Cm
    std::int32_t TemperatureUnit = 0;  // -1 to 1: Degree C, Degree F
    std::int32_t Port = 0;             // -1 to 4: COM1 to COM4, USB
    std::int32_t DataRate = 0;         // -1 to 7: 42 ms to 5.2 s
    std::int32_t AutoTx = 0;           // -1 to 1: on, off
};

// Lines 1 to 8 of `text`, each converted before the next; throws
// SettingsLineError naming `path` and the line when one is no whole number.
SettingsRecord readSettingsRecord(const SettingsText& text, const QString& path);
// Replaces lines 1 to 8 of `text` with the record; missing lines stay missing.
void writeSettingsRecord(SettingsText& text, const SettingsRecord& record);

// Caption of the unit panels for a pressure choice (0 to 3) or a temperature
// choice (0 to 1); empty for no choice or one without a caption.
QString pressureUnitCaption(int choice);
QString temperatureUnitCaption(int choice);

} // namespace vorn
