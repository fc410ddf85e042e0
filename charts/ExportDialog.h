#pragma once

#include "history/HistoryTypes.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

class QWidget;

namespace vorn {

// Asks how far back to export: the last hour, 24 hours, 7 days, 30 days or
// everything. Nothing when the person cancels.
std::optional<std::pair<history::TimeMs, history::TimeMs>> askExportRange(QWidget* parent,
                                                                          history::TimeMs now);

// Asks for the file and writes the readings of the history at `historyPath`
// from `from` to `to` there, on a pool thread; the outcome is shown in a box
// (on standard error under the offscreen platform) once it is known.
void exportReadings(QWidget* parent, const QString& historyPath, history::TimeMs from,
                    history::TimeMs to, std::int32_t pressureUnit);

} // namespace vorn
