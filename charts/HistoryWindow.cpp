#include "charts/HistoryWindow.h"

#include "protocol/HandedOver.h"
#include "history/HistoryStore.h"
#include "protocol/PressureUnits.h"
#include "protocol/TemperatureUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

namespace vorn {

using history::ChartData;
using history::TimeMs;

namespace {

constexpr TimeMs kHour = 3'600'000;
constexpr std::array<TimeMs, 4> kRangeSpans{kHour, 24 * kHour, 7 * 24 * kHour, 30 * 24 * kHour};
constexpr TimeMs kShortestSpan = 60'000;
constexpr TimeMs kLongestSpan = 20LL * 366 * 24 * kHour;
constexpr int kLiveEveryMs = 2000;
constexpr int kSettleMs = 150;

// A steady wheel is stored again a minute after its last row, so its last
// value is known to hold until then (or until now, when that is sooner).
constexpr TimeMs kHeldFor = history::Decimator::kKeepEvery;

// One colour per wheel, the same in both charts whichever wheels are shown:
// the Okabe-Ito colours, which stay apart with the common colour blindnesses.
constexpr std::array<QRgb, 6> kWheelColours{0x0072B2, 0xE69F00, 0x009E73,
                                            0xCC79A7, 0x56B4E9, 0xD55E00};

QColor wheelColour(int wheel) {
    return wheel >= 0 && wheel < static_cast<int>(kWheelColours.size())
               ? QColor(kWheelColours[static_cast<std::size_t>(wheel)])
               : QColor(Qt::gray);
}

// The file as people write it: the home folder as "~".
QString shownPath(const QString& path) {
    const QString home = QDir::homePath() + QLatin1Char('/');
    return path.startsWith(home) ? QStringLiteral("~/") + path.mid(home.size()) : path;
}

QString symbolText(std::string_view symbol) {
    return QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
}

double unitValue(double raw, int unitIndex) {
    const UnitPressure p = pressureInUnit(static_cast<std::int32_t>(std::lround(raw)), unitIndex);
    return static_cast<double>(p.value) / std::pow(10.0, p.decimals);
}

// Cold pressure is no reading of the unit: the screen's factors, unrounded.
double coldValue(double raw, int unitIndex) {
    constexpr std::array<double, 4> kPerHalfPsi{0.5, 0.0345, 3.45, 0.035};
    return unitIndex >= 0 && unitIndex < 4 ? raw * kPerHalfPsi[static_cast<std::size_t>(unitIndex)]
                                           : raw / 2;
}

QString timeFormatFor(TimeMs span) {
    if (span <= 2 * kHour)
        return QStringLiteral("HH:mm:ss");
    if (span <= 48 * kHour)
        return QStringLiteral("dd.MM HH:mm");
    return QStringLiteral("dd.MM.yy");
}

} // namespace

HistoryChartView::HistoryChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing);
}

void HistoryChartView::wheelEvent(QWheelEvent* event) {
    const QRectF plot = chart()->plotArea();
    const double at = std::clamp((event->position().x() - plot.left()) / plot.width(), 0.0, 1.0);
    emit zoomRequested(event->angleDelta().y() > 0 ? 0.8 : 1.25, at);
    event->accept();
}

void HistoryChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragX_ = event->position().x();
    event->accept();
}

void HistoryChartView::mouseMoveEvent(QMouseEvent* event) {
    const QRectF plot = chart()->plotArea();
    if (dragX_ && plot.width() > 0) {
        emit panRequested(-(event->position().x() - *dragX_) / plot.width(), false);
        dragX_ = event->position().x();
        return;
    }
    if (!plot.contains(event->position()) || chart()->series().isEmpty())
        return QToolTip::hideText();
    const QPointF value = chart()->mapToValue(event->position());
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(value.x()));
    QToolTip::showText(event->globalPosition().toPoint(),
                       QStringLiteral("%1\n%2 %3")
                           .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                           .arg(value.y(), 0, 'f', 1)
                           .arg(unit_),
                       this);
}

void HistoryChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragX_)
        emit panRequested(0, true);
    dragX_.reset();
    event->accept();
}

HistoryChartView* HistoryWindow::makeChart(const QString& title, QValueAxis*& yAxis) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom); // keeps both plots equally wide
    auto* x = new QDateTimeAxis(chart);
    chart->addAxis(x, Qt::AlignBottom);
    yAxis = new QValueAxis(chart);
    chart->addAxis(yAxis, Qt::AlignLeft);
    auto* view = new HistoryChartView(chart, this); // owns the chart
    connect(view, &HistoryChartView::zoomRequested, this, &HistoryWindow::zoom);
    connect(view, &HistoryChartView::panRequested, this, &HistoryWindow::pan);
    layout()->addWidget(view);
    return view;
}

// The units can change on the settings panel while the window is open.
void HistoryWindow::showUnits(const MonitorSettings& settings) {
    const QString pressure =
        symbolText(PressureUnitSymbol(PressureUnitOf(settings.PressureUnitIndex)));
    const QString temperature =
        symbolText(TemperatureUnitSymbol(TemperatureUnitOf(settings.TemperatureUnitIndex)));
    pressureY_->setTitleText(pressure);
    pressureView_->setUnit(pressure);
    temperatureY_->setTitleText(temperature);
    temperatureView_->setUnit(temperature);
}

HistoryWindow::HistoryWindow(HistorySource source, QWidget* parent)
    : QWidget(parent, Qt::Window), source_(std::move(source)) {
    setWindowTitle(QStringLiteral("VORN history"));
    resize(900, 640);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    range_ = new QComboBox(this);
    range_->addItems({QStringLiteral("1 hour"), QStringLiteral("24 hours"),
                      QStringLiteral("7 days"), QStringLiteral("30 days"), QStringLiteral("All")});
    range_->setCurrentIndex(static_cast<int>(Range::Day));
    auto* exportButton = new QPushButton(QStringLiteral("Export readings…"), this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    bar->addWidget(new QLabel(QStringLiteral("Range:"), this));
    bar->addWidget(range_);
    bar->addWidget(exportButton);
    cold_ = new QCheckBox(QStringLiteral("Cold pressure"), this);
    cold_->setToolTip(QStringLiteral("Each wheel's pressure as it would be at 20 °C, dotted: "
                                     "air lost shows here, weather does not"));
    bar->addWidget(cold_);
    bar->addWidget(status_, 1);
    layout->addLayout(bar);
    pressureView_ = makeChart(QStringLiteral("Pressure"), pressureY_);
    temperatureView_ = makeChart(QStringLiteral("Temperature"), temperatureY_);
    pressure_ = pressureView_->chart();
    temperature_ = temperatureView_->chart();
    showUnits(source_.settings());
    connect(range_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setRange(static_cast<Range>(index)); });
    connect(cold_, &QCheckBox::toggled, this, [this] {
        fillPressure(shown_, source_.settings());
        setTimeAxes();
    });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        if (source_.exportRange)
            source_.exportRange(from_, to_, this);
    });
    live_ = new QTimer(this);
    connect(live_, &QTimer::timeout, this, [this] {
        if (isVisible())
            followNow();
    });
    live_->start(kLiveEveryMs);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    connect(settle_, &QTimer::timeout, this, &HistoryWindow::reload);
    setRange(Range::Day);
}

TimeMs HistoryWindow::now() const {
    return source_.clock ? source_.clock() : QDateTime::currentMSecsSinceEpoch();
}

int HistoryWindow::columns() const {
    return std::max(200, static_cast<int>(pressure_->plotArea().width()));
}

QString HistoryWindow::statusText() const {
    return status_->text();
}

void HistoryWindow::setRange(Range range) {
    if (range_->currentIndex() != static_cast<int>(range))
        range_->setCurrentIndex(static_cast<int>(range)); // comes back here
    custom_ = false;
    followNow();
}

void HistoryWindow::followNow() {
    if (!custom_ && range_->currentIndex() != static_cast<int>(Range::All)) {
        to_ = now();
        from_ = to_ - kRangeSpans[static_cast<std::size_t>(range_->currentIndex())];
    }
    reload();
}

void HistoryWindow::reload() {
    if (source_.path.isEmpty()) {
        status_->setText(source_.problem());
        return;
    }
    if (loading_) {
        loadAgain_ = true;
        return;
    }
    loading_ = true;
    const bool all = !custom_ && range_->currentIndex() == static_cast<int>(Range::All);
    QThreadPool::globalInstance()->start(
        handedOver([self = QPointer(this), path = source_.path, from = from_, to = to_, all,
                    columns = columns()] {
            LoadResult result = load(path, from, to, all, columns);
            QMetaObject::invokeMethod(QCoreApplication::instance(),
                                      handedOver([self, result = std::move(result)] {
                                          if (self)
                                              self->showResult(result);
                                      }),
                                      Qt::QueuedConnection);
        }));
}

HistoryWindow::LoadResult HistoryWindow::load(QString path, TimeMs from, TimeMs to, bool all,
                                              int columns) {
    history::HistoryStore store;
    const history::OpenResult opened = store.open(path, history::OpenMode::ReadOnly);
    if (!opened.usable())
        return {{}, from, to, columns, opened.reason};
    if (all) {
        const auto span = store.readingSpan();
        to = span ? std::max(span->second, span->first + kShortestSpan) : to;
        from = span ? span->first : to - kHour;
    }
    ChartData data = history::loadChart(store, from, to, columns);
    const bool ok = data.ok;
    return {std::move(data), from, to, columns, ok ? QString() : store.lastError()};
}

void HistoryWindow::showResult(const LoadResult& result) {
    loading_ = false;
    if (std::exchange(loadAgain_, false)) {
        reload(); // the range changed meanwhile: this result is stale
        return;
    }
    from_ = result.from;
    to_ = result.to;
    shownColumns_ = result.columns;
    const QString problem = source_.problem ? source_.problem() : QString();
    status_->setText(!result.error.isEmpty() ? QStringLiteral("Cannot read: %1").arg(result.error)
                     : !problem.isEmpty()    ? problem
                                             : shownPath(source_.path));
    if (const QString note = history::summaryNote(result.data);
        !note.isEmpty() && problem.isEmpty())
        status_->setText(status_->text() + u' ' + note);
    const MonitorSettings settings = source_.settings();
    showUnits(settings);
    shown_ = result.data;
    fillPressure(shown_, settings);
    fillTemperature(shown_, settings);
    setTimeAxes();
    ++loadsShown_;
    emit loaded();
}

void HistoryWindow::addWheelLine(QChart* chart, int wheel,
                                 const std::vector<history::ChartSegment>& pieces,
                                 const std::function<double(double)>& value, double& bottom,
                                 double& top, Qt::PenStyle style) {
    const TimeMs until = std::min(to_, now());
    bool named = false;
    for (const history::ChartSegment& piece : pieces) {
        if (piece.points.empty())
            continue;
        auto* series = new QLineSeries(chart);
        series->setName(QStringLiteral("Wheel %1").arg(wheel));
        for (const history::ChartPoint& p : piece.points) {
            const double v = value(p.value);
            series->append(static_cast<double>(p.time), v);
            bottom = std::min(bottom, v);
            top = std::max(top, v);
        }
        const history::ChartPoint& last = piece.points.back();
        const TimeMs held = std::min({until, piece.endsBy, last.time + kHeldFor});
        if (held > last.time)
            series->append(static_cast<double>(held), value(last.value));
        chart->addSeries(series);
        series->setPen(QPen(wheelColour(wheel), 2, style));
        // One legend entry a wheel, however many pieces its line has.
        if (std::exchange(named, true)) {
            for (QLegendMarker* marker : chart->legend()->markers(series))
                marker->setVisible(false);
        }
    }
}

void HistoryWindow::fillPressure(const ChartData& data, const MonitorSettings& settings) {
    pressure_->removeAllSeries();
    const int unit = settings.PressureUnitIndex;
    const double low = unitValue(2.0 * settings.LowPressureSet, unit);
    const double high = unitValue(2.0 * settings.HighPressureSet, unit);
    double bottom = std::min(low, high);
    double top = std::max(low, high);
    for (const auto& [wheel, lines] : data.wheels)
        addWheelLine(
            pressure_, wheel, lines.pressure, [unit](double raw) { return unitValue(raw, unit); },
            bottom, top);
    if (cold_->isChecked()) {
        for (const auto& [wheel, lines] : data.wheels)
            addWheelLine(
                pressure_, wheel, lines.cold, [unit](double raw) { return coldValue(raw, unit); },
                bottom, top, Qt::DotLine);
    }
    const double margin = (top - bottom) * 0.08 + 0.1;
    pressureY_->setRange(bottom - margin, top + margin);
    addThreshold(pressure_, low, QStringLiteral("Low pressure"));
    addThreshold(pressure_, high, QStringLiteral("High pressure"));
    addAlarmMarks(pressure_, data, bottom - margin);
}

void HistoryWindow::fillTemperature(const ChartData& data, const MonitorSettings& settings) {
    temperature_->removeAllSeries();
    const TemperatureUnit unit = TemperatureUnitOf(settings.TemperatureUnitIndex);
    // Stored and reduced in whole degrees Celsius; shown as the wheel digits show them.
    const auto inUnit = [unit](double celsius) {
        return static_cast<double>(
            TemperatureInUnit(static_cast<std::int32_t>(std::lround(celsius)), unit));
    };
    const double high = inUnit(settings.HighTempSet);
    double bottom = high;
    double top = high;
    for (const auto& [wheel, lines] : data.wheels)
        addWheelLine(temperature_, wheel, lines.temperature, inUnit, bottom, top);
    const double margin = (top - bottom) * 0.08 + 1;
    temperatureY_->setRange(bottom - margin, top + margin);
    addThreshold(temperature_, high, QStringLiteral("High temperature"));
    addAlarmMarks(temperature_, data, bottom - margin);
}

void HistoryWindow::addThreshold(QChart* chart, double value, const QString& name) {
    auto* line = new QLineSeries(chart);
    line->setName(name);
    QPen pen(Qt::darkGray);
    pen.setStyle(Qt::DashLine);
    pen.setWidth(1);
    line->setPen(pen);
    line->setProperty("threshold", value); // spans the shown range, see setTimeAxes
    chart->addSeries(line);
}

void HistoryWindow::addAlarmMarks(QChart* chart, const ChartData& data, double y) {
    auto* marks = new QScatterSeries(chart);
    marks->setName(QStringLiteral("Alarm"));
    marks->setColor(Qt::red);
    marks->setMarkerSize(11);
    auto* warnings = new QScatterSeries(chart);
    warnings->setName(QStringLiteral("Tyre warning"));
    warnings->setColor(QColor(255, 165, 0));
    warnings->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    warnings->setMarkerSize(11);
    for (const history::Event& e : data.events) {
        if (e.kind == history::EventKind::AlarmRaised)
            marks->append(static_cast<double>(e.time), y);
        else if (e.kind == history::EventKind::WarningBegun)
            warnings->append(static_cast<double>(e.time), y);
    }
    chart->addSeries(marks);
    chart->addSeries(warnings);
}

void HistoryWindow::setTimeAxes() {
    for (QChart* chart : {pressure_, temperature_}) {
        auto* x = qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).value(0));
        auto* y = chart->axes(Qt::Vertical).value(0);
        x->setFormat(timeFormatFor(to_ - from_));
        x->setRange(QDateTime::fromMSecsSinceEpoch(from_), QDateTime::fromMSecsSinceEpoch(to_));
        for (QAbstractSeries* series : chart->series()) {
            if (const QVariant value = series->property("threshold"); value.isValid()) {
                // A span around the range, not beyond: far-off points are not drawn.
                const TimeMs span = to_ - from_;
                static_cast<QLineSeries*>(series)->replace(
                    {QPointF(static_cast<double>(from_ - span), value.toDouble()),
                     QPointF(static_cast<double>(to_ + span), value.toDouble())});
            }
            if (series->attachedAxes().isEmpty()) {
                series->attachAxis(x);
                series->attachAxis(y);
            }
        }
    }
}

void HistoryWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    settle_->start(kSettleMs); // reduce again for the new width
}

void HistoryWindow::zoom(double factor, double at) {
    const TimeMs span = to_ - from_;
    const TimeMs wanted = std::clamp(static_cast<TimeMs>(static_cast<double>(span) * factor),
                                     kShortestSpan, kLongestSpan);
    const TimeMs anchor = from_ + static_cast<TimeMs>(static_cast<double>(span) * at);
    from_ = anchor - static_cast<TimeMs>(static_cast<double>(wanted) * at);
    to_ = from_ + wanted;
    custom_ = true;
    setTimeAxes();
    settle_->start(kSettleMs);
}

void HistoryWindow::pan(double fraction, bool done) {
    const auto shift = static_cast<TimeMs>(static_cast<double>(to_ - from_) * fraction);
    from_ += shift;
    to_ += shift;
    custom_ = true;
    setTimeAxes();
    if (done)
        settle_->start(kSettleMs);
}

} // namespace vorn
