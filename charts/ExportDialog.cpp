#include "charts/ExportDialog.h"

#include "history/CsvExport.h"
#include "protocol/HandedOver.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThreadPool>
#include <array>
#include <cstdio>

namespace vorn {

using history::TimeMs;

std::optional<std::pair<TimeMs, TimeMs>> askExportRange(QWidget* parent, TimeMs now) {
    const QStringList ranges{QStringLiteral("1 hour"), QStringLiteral("24 hours"),
                             QStringLiteral("7 days"), QStringLiteral("30 days"),
                             QStringLiteral("All")};
    bool ok = false;
    const QString choice =
        QInputDialog::getItem(parent, QStringLiteral("Export readings"),
                              QStringLiteral("Readings of the last:"), ranges, 1, false, &ok);
    if (!ok)
        return std::nullopt;
    constexpr std::array<TimeMs, 4> spans{3'600'000, 86'400'000, 7 * 86'400'000LL,
                                          30 * 86'400'000LL};
    const auto index = static_cast<std::size_t>(ranges.indexOf(choice));
    return std::pair{index < spans.size() ? now - spans[index] : 0, now};
}

void exportReadings(QWidget* parent, const QString& historyPath, TimeMs from, TimeMs to,
                    std::int32_t pressureUnit) {
    const QString out = QFileDialog::getSaveFileName(parent, QStringLiteral("Export readings"),
                                                     QStringLiteral("vorn-readings.csv"),
                                                     QStringLiteral("CSV files (*.csv)"));
    if (out.isEmpty())
        return;
    // The file is read and written on a pool thread; the answer comes back here.
    QThreadPool::globalInstance()->start(handedOver([path = historyPath, out, from, to,
                                                     unit = pressureUnit,
                                                     parent = QPointer<QWidget>(parent)] {
        const history::ExportResult result = history::exportCsv(path, out, from, to, unit);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), handedOver([parent, result] {
                const QString text =
                    result.ok ? QStringLiteral("%1 written.").arg(result.counts()) : result.error;
                if (parent && QGuiApplication::platformName() != QLatin1String("offscreen"))
                    QMessageBox::information(parent, QStringLiteral("Export readings"), text);
                else
                    std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(text));
            }),
            Qt::QueuedConnection);
    }));
}

} // namespace vorn
