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

// Caption of the unit panels for a pressure choice (0 to 3) or a temperature
// choice (0 to 1); empty for no choice or one without a caption.
QString pressureUnitCaption(int choice);
QString temperatureUnitCaption(int choice);

} // namespace vorn
