#include "monitor/SettingsFile.h"

#include <QFile>
#include <QSaveFile>
#include <array>
#include <functional>
#include <limits>
#include <stdexcept>

namespace vorn {

SettingsText SettingsText::fromBytes(const QByteArray& bytes) {
    SettingsText text;
    QByteArray current;
    bool pending = false; // characters (or an empty line) not yet ended
    // Editors on Windows may start the file with a UTF-8 byte-order mark; it
    // is no part of line 1, and a save leaves it out. Every mark at the start
    // goes, so a saved file never starts with one and reads back the same.
    constexpr QByteArrayView kMark("\xEF\xBB\xBF");
    qsizetype start = 0;
    while (bytes.sliced(start).startsWith(kMark))
        start += kMark.size();
    for (qsizetype i = start; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            text.lines_.append(QString::fromLatin1(current));
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            current.append(c);
            pending = true;
        }
    }
    if (pending)
        text.lines_.append(QString::fromLatin1(current));
    return text;
}

QByteArray SettingsText::toBytes() const {
    QByteArray out;
    for (const QString& line : lines_) {
        out.append(line.toLatin1());
        out.append("\r\n");
    }
    return out;
}

QString SettingsText::line(int index) const {
    if (index < 0 || index >= lineCount())
        return {};
    return lines_[index];
}

void SettingsText::replaceLine(int index, const QString& text) {
    if (index >= 0 && index < lineCount())
        lines_[index] = text;
}

std::int32_t parseSettingInteger(const QString& text) {
    const auto invalid = [&text] {
        return std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    };
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+')) {
        negative = trimmed[i] == u'-';
        ++i;
    }
    if (i == trimmed.size())
        throw invalid();
    // Accumulate as a negative number so that the most negative value fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c < u'0' || c > u'9')
            throw invalid();
        value = value * 10 - (c - u'0');
        if (value < kMin)
            throw invalid();
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max())
            throw invalid();
    }
    return static_cast<std::int32_t>(value);
}

SettingsText loadSettingsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot open file %1").arg(path).toStdString());
    return SettingsText::fromBytes(file.readAll());
}

void saveSettingsFile(const QString& path, const SettingsText& text) {
    QSaveFile file(path);
    // A folder that takes no new file but lets setdata.txt be written: write it in place.
    file.setDirectWriteFallback(true);
    const QByteArray bytes = text.toBytes();
    // Unbuffered, so that a short write is seen here; a buffered one only
    // fails at commit, which does not notice it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(QStringLiteral("Cannot create file %1").arg(path).toStdString());
}

namespace {

// How the settings panel's controls take a stored choice.
constexpr std::int32_t radioChoice(std::int32_t value, std::int32_t items) {
    return value >= items ? items - 1 : value < 0 ? -1 : value;
}
constexpr std::int32_t listChoice(std::int32_t value, std::int32_t entries) {
    return value >= 0 && value < entries ? value : -1;
}

} // namespace

SettingsRecord readSettingsRecord(const SettingsText& text, const QString& path) {
    SettingsRecord r;
    // Where each of lines 1 to 8 goes.
    const std::array<std::function<void(std::int32_t)>, kSettingsLines> apply{
        [&r](std::int32_t v) { r.LowPressureSet = v; },
        [&r](std::int32_t v) { r.HighPressureSet = v; },
        [&r](std::int32_t v) { r.HighTempSet = v; },
        [&r](std::int32_t v) { r.PressureUnit = radioChoice(v, 4); },
        [&r](std::int32_t v) { r.TemperatureUnit = radioChoice(v, 2); },
        [&r](std::int32_t v) { r.Port = radioChoice(v, 5); },
        [&r](std::int32_t v) { r.DataRate = listChoice(v, 8); },
        [&r](std::int32_t v) { r.AutoTx = radioChoice(v, 2); },
    };
    for (int line = 0; line < kSettingsLines; ++line) {
        try {
            apply[static_cast<std::size_t>(line)](parseSettingInteger(text.line(line)));
        } catch (const std::runtime_error& e) {
            throw SettingsLineError(e, path, line + 1);
        }
    }
    return r;
}

void writeSettingsRecord(SettingsText& text, const SettingsRecord& r) {
    const std::array<std::int32_t, kSettingsLines> lines{
        r.LowPressureSet, r.HighPressureSet, r.HighTempSet, r.PressureUnit, r.TemperatureUnit,
        r.Port,           r.DataRate,        r.AutoTx,
    };
    for (int i = 0; i < kSettingsLines; ++i)
        text.replaceLine(i, QString::number(lines[static_cast<std::size_t>(i)]));
}

QString pressureUnitCaption(int choice) {
    static constexpr std::array<const char*, 4> kNames{"Psi", "Bar", "Kpa", "Kg/Cm"};
    if (choice < 0 || choice >= static_cast<int>(kNames.size()))
        return {};
    return QString::fromLatin1(kNames[static_cast<std::size_t>(choice)]);
}

QString temperatureUnitCaption(int choice) {
    static constexpr std::array<const char*, 2> kNames{"Degree C", "Degree F"};
    if (choice < 0 || choice >= static_cast<int>(kNames.size()))
        return {};
    return QString::fromLatin1(kNames[static_cast<std::size_t>(choice)]);
}

} // namespace vorn
