#include "app/HistoryWindow.h"

#include "app/HandedOver.h"
#include "history/HistoryStore.h"
#include "protocol/PressureUnits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
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
constexpr TimeMs kHeldFor = 60'000;

void appendHeld(QLineSeries* series, TimeMs until) {
    if (series->count() == 0)
        return;
    const QPointF last = series->at(series->count() - 1);
    const double end = std::min(static_cast<double>(until), last.x() + kHeldFor);
    if (end > last.x())
        series->append(end, last.y());
}

double unitValue(double raw, int unitIndex) {
    const UnitPressure p = pressureInUnit(static_cast<std::int32_t>(std::lround(raw)), unitIndex);
    return static_cast<double>(p.value) / std::pow(10.0, p.decimals);
}

QString timeFormatFor(TimeMs span) {
    if (span <= 2 * kHour)
        return QStringLiteral("HH:mm:ss");
    if (span <= 48 * kHour)
        return QStringLiteral("dd.MM HH:mm");
    return QStringLiteral("dd.MM.yy");
}

} // namespace

HistoryChartView::HistoryChartView(QChart* chart, QString unit, QWidget* parent)
    : QChartView(chart, parent), unit_(std::move(unit)) {
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

QChart* HistoryWindow::makeChart(const QString& title, const QString& unit, QValueAxis*& yAxis) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom); // keeps both plots equally wide
    auto* x = new QDateTimeAxis(chart);
    chart->addAxis(x, Qt::AlignBottom);
    yAxis = new QValueAxis(chart);
    yAxis->setTitleText(unit);
    chart->addAxis(yAxis, Qt::AlignLeft);
    auto* view = new HistoryChartView(chart, unit, this); // owns the chart
    connect(view, &HistoryChartView::zoomRequested, this, &HistoryWindow::zoom);
    connect(view, &HistoryChartView::panRequested, this, &HistoryWindow::pan);
    layout()->addWidget(view);
    return chart;
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
    bar->addWidget(status_, 1);
    layout->addLayout(bar);
    const MonitorSettings settings = source_.settings();
    pressure_ =
        makeChart(QStringLiteral("Pressure"),
                  QString::fromLatin1(pressureUnitName(settings.PressureUnitIndex)), pressureY_);
    temperature_ = makeChart(QStringLiteral("Temperature"), QStringLiteral("°C"), temperatureY_);
    connect(range_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setRange(static_cast<Range>(index)); });
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
                                             : source_.path);
    const MonitorSettings settings = source_.settings();
    fillPressure(result.data, settings);
    fillTemperature(result.data, settings);
    setTimeAxes();
    ++loadsShown_;
    emit loaded();
}

void HistoryWindow::fillPressure(const ChartData& data, const MonitorSettings& settings) {
    pressure_->removeAllSeries();
    const int unit = settings.PressureUnitIndex;
    const double low = unitValue(2.0 * settings.LowPressureSet, unit);
    const double high = unitValue(2.0 * settings.HighPressureSet, unit);
    double bottom = std::min(low, high);
    double top = std::max(low, high);
    for (const auto& [wheel, lines] : data.wheels) {
        auto* series = new QLineSeries(pressure_);
        series->setName(QStringLiteral("Wheel %1").arg(wheel));
        for (const history::ChartPoint& p : lines.pressure) {
            const double v = unitValue(p.value, unit);
            series->append(static_cast<double>(p.time), v);
            bottom = std::min(bottom, v);
            top = std::max(top, v);
        }
        appendHeld(series, std::min(to_, now()));
        pressure_->addSeries(series);
    }
    const double margin = (top - bottom) * 0.08 + 0.1;
    pressureY_->setRange(bottom - margin, top + margin);
    addThreshold(pressure_, low, QStringLiteral("Low pressure"));
    addThreshold(pressure_, high, QStringLiteral("High pressure"));
    addAlarmMarks(pressure_, data, bottom - margin);
}

void HistoryWindow::fillTemperature(const ChartData& data, const MonitorSettings& settings) {
    temperature_->removeAllSeries();
    const double high = settings.HighTempSet;
    double bottom = high;
    double top = high;
    for (const auto& [wheel, lines] : data.wheels) {
        auto* series = new QLineSeries(temperature_);
        series->setName(QStringLiteral("Wheel %1").arg(wheel));
        for (const history::ChartPoint& p : lines.temperature) {
            series->append(static_cast<double>(p.time), p.value);
            bottom = std::min(bottom, p.value);
            top = std::max(top, p.value);
        }
        appendHeld(series, std::min(to_, now()));
        temperature_->addSeries(series);
    }
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
    for (const history::Event& e : data.events) {
        if (e.kind == history::EventKind::AlarmRaised)
            marks->append(static_cast<double>(e.time), y);
    }
    chart->addSeries(marks);
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
