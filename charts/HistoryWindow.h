#pragma once

#include "history/Reducer.h"
#include "protocol/MonitorSettings.h"

#include <QChartView>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QDateTimeAxis;
class QValueAxis;

namespace vorn {

// What the history window shows beside the file.
struct HistorySource {
    QString path;                              // empty: history is off
    std::function<QString()> problem;          // why there is no history; empty when fine
    std::function<MonitorSettings()> settings; // thresholds and the chosen unit
    std::function<history::TimeMs()> clock;    // wall clock when empty
    std::function<void(history::TimeMs, history::TimeMs, QWidget*)> exportRange;
};

// A chart that zooms the time axis with the mouse wheel, pans it by
// dragging and tells the time and value under the pointer.
class HistoryChartView : public QChartView {
    Q_OBJECT
public:
    HistoryChartView(QChart* chart, QWidget* parent);
    void setUnit(const QString& unit) { unit_ = unit; }

signals:
    // `factor` below 1 zooms in, around `at` (0 left edge, 1 right edge of the plot).
    void zoomRequested(double factor, double at);
    // Moves the range by `fraction` of its span; `done` at the end of a drag.
    void panRequested(double fraction, bool done);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString unit_;
    std::optional<double> dragX_;
};

// Pressure and temperature of every wheel over time, in the units chosen on
// the settings panel, each wheel in a colour of its own, the thresholds as
// dashed lines, the alarms and tyre warnings marked, and on request each
// wheel's cold pressure (at 20 °C) dotted beside its pressure; a line breaks where the wheel went
// silent or the program was not running. The file is read on a pool thread;
// long ranges arrive reduced to the chart's width.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    enum class Range { Hour, Day, Week, Month, All };

    HistoryWindow(HistorySource source, QWidget* parent = nullptr);

    void setRange(Range range);
    void reload();
    QChart* pressureChart() const { return pressure_; }
    // The "Cold pressure" check box.
    QCheckBox* coldPressureBox() const { return cold_; }
    QChart* temperatureChart() const { return temperature_; }
    QString statusText() const;
    int loadsShown() const { return loadsShown_; }
    std::pair<history::TimeMs, history::TimeMs> shownRange() const { return {from_, to_}; }
    // The pixel columns the shown lines were reduced to.
    int shownColumns() const { return shownColumns_; }

signals:
    void loaded();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct LoadResult {
        history::ChartData data;
        history::TimeMs from = 0;
        history::TimeMs to = 0;
        int columns = 0;
        QString error;
    };
    static LoadResult load(QString path, history::TimeMs from, history::TimeMs to, bool all,
                           int columns);
    void showResult(const LoadResult& result);
    void showUnits(const MonitorSettings& settings);
    void fillPressure(const history::ChartData& data, const MonitorSettings& settings);
    void fillTemperature(const history::ChartData& data, const MonitorSettings& settings);
    // Adds a wheel's pieces of line, its values through `value`, and widens
    // [bottom, top] to them.
    void addWheelLine(QChart* chart, int wheel, const std::vector<history::ChartSegment>& pieces,
                      const std::function<double(double)>& value, double& bottom, double& top,
                      Qt::PenStyle style = Qt::SolidLine);
    void addThreshold(QChart* chart, double value, const QString& name);
    void addAlarmMarks(QChart* chart, const history::ChartData& data, double y);
    void setTimeAxes();
    void zoom(double factor, double at);
    void pan(double fraction, bool done);
    void followNow();
    history::TimeMs now() const;
    int columns() const;
    HistoryChartView* makeChart(const QString& title, QValueAxis*& yAxis);

    HistorySource source_;
    QComboBox* range_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* cold_ = nullptr;
    history::ChartData shown_; // what the charts show, for the check box
    QChart* pressure_ = nullptr;
    QChart* temperature_ = nullptr;
    QValueAxis* pressureY_ = nullptr;
    QValueAxis* temperatureY_ = nullptr;
    HistoryChartView* pressureView_ = nullptr;
    HistoryChartView* temperatureView_ = nullptr;
    QTimer* live_ = nullptr;
    QTimer* settle_ = nullptr;
    history::TimeMs from_ = 0;
    history::TimeMs to_ = 0;
    bool custom_ = false; // zoomed or panned: the range no longer follows now
    bool loading_ = false;
    bool loadAgain_ = false;
    int loadsShown_ = 0;
    int shownColumns_ = 0;
    QString loadError_;
};

} // namespace vorn
