#include "gui/trend_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui/form_widgets.h"
#include "gui/window_catalog.h"
#include "outputs/day_file_names.h"

namespace tarvedde {
namespace {

constexpr int kPollMs = 2000;
constexpr qint64 kShortestSpanMs = 60 * 1000;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

qint64 MsSinceEpoch(const DateParts& date, int secondOfDay) {
    const QDateTime at(QDate(date.year, date.month, date.day), QTime(0, 0).addSecs(secondOfDay));
    return at.toMSecsSinceEpoch();
}

}  // namespace

TrendChartView::TrendChartView(QChart* chart, std::function<void()> onViewMoved)
    : QChartView(chart), onViewMoved_(std::move(onViewMoved)) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
}

void TrendChartView::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() == 0) {
        return;
    }
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    onViewMoved_();
    event->accept();
}

void TrendChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        panFrom_ = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event) {
    if (panFrom_) {
        const QPointF delta = event->position() - *panFrom_;
        chart()->scroll(-delta.x(), delta.y());
        panFrom_ = event->position();
        onViewMoved_();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void TrendChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && panFrom_) {
        panFrom_.reset();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
    // A rubber band zooms in at the left button's release, the right button zooms out;
    // a mere click leaves the view alone.
    if (chart()->isZoomed()) {
        onViewMoved_();
    }
}

void TrendChartView::keyPressEvent(QKeyEvent* event) {
    const qreal stepX = chart()->plotArea().width() / 10;
    const qreal stepY = chart()->plotArea().height() / 10;
    switch (event->key()) {
        case Qt::Key_Left:
            chart()->scroll(-stepX, 0);
            break;
        case Qt::Key_Right:
            chart()->scroll(stepX, 0);
            break;
        case Qt::Key_Up:
            chart()->scroll(0, stepY);
            break;
        case Qt::Key_Down:
            chart()->scroll(0, -stepY);
            break;
        case Qt::Key_Plus:
            chart()->zoomIn();
            break;
        case Qt::Key_Minus:
            chart()->zoomOut();
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
    }
    onViewMoved_();
}

TrendWindow::TrendWindow(TarveddeMain& engine, QWidget* parent)
    : QWidget(parent, Qt::Window),
      engine_(engine),
      lbItems_(new QListWidget),
      lbDatei_(new QLabel),
      btGestern_(new QPushButton("Gestern")),
      btZoomZurueck_(new QPushButton("Ansicht zurücksetzen")),
      chart_(new QChart),
      timeAxis_(nullptr),
      chartView_(new TrendChartView(chart_, [this] { viewMoved_ = true; })) {
    setWindowTitle("Tagesverlauf");
    lbItems_->setObjectName("lbItems");
    lbDatei_->setObjectName("lbDatei");
    btGestern_->setObjectName("btGestern");
    btGestern_->setCheckable(true);
    btGestern_->setToolTip("Die Tagesdatei von gestern zeigen");
    btZoomZurueck_->setObjectName("btZoomZurueck");
    btZoomZurueck_->setToolTip(
        "Mausrad oder Rahmen ziehen: vergrößern, rechte Maustaste: verkleinern, mittlere "
        "Maustaste oder Pfeiltasten: verschieben");
    chartView_->setObjectName("chTagesverlauf");

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel("Items"));
    side->addWidget(lbItems_, 1);
    side->addWidget(lbDatei_);
    side->addWidget(btGestern_);
    side->addWidget(btZoomZurueck_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(chartView_, 1);
    resize(1100, 640);

    connect(lbItems_, &QListWidget::itemChanged, this, [this] { RebuildSeries(); });
    connect(btGestern_, &QPushButton::toggled, this, [this] { OpenDay(WantedDay()); });
    connect(btZoomZurueck_, &QPushButton::clicked, this, [this] { ResetView(); });
    connect(&pollTimer_, &QTimer::timeout, this, [this] { Poll(); });
    pollTimer_.setInterval(kPollMs);
    RebuildSeries();
}

QString TrendWindow::ItemCaption(int item) const {
    const ItemConfig& config = engine_.Config().Item(item);
    const QString name =
        config.itemName.empty() ? "Item " + QString::number(item) : ToQt(config.itemName);
    return name + "  [" + ToQt(config.unit) + "]";
}

void TrendWindow::FillItemList() {
    const int count = engine_.Config().Settings().itemCount;
    bool same = lbItems_->count() == count;
    for (int n = 1; same && n <= count; ++n) {
        same = lbItems_->item(n - 1)->text() == ItemCaption(n);
    }
    if (same) {
        return;
    }
    const QSignalBlocker quiet(lbItems_);
    std::vector<bool> checked(static_cast<std::size_t>(count), false);
    if (lbItems_->count() == 0 && count > 0) {
        checked[0] = true;  // a first look shows a course rather than an empty chart
    }
    for (int row = 0; row < std::min(count, lbItems_->count()); ++row) {
        checked[static_cast<std::size_t>(row)] = lbItems_->item(row)->checkState() == Qt::Checked;
    }
    lbItems_->clear();
    for (int n = 1; n <= count; ++n) {
        auto* entry = new QListWidgetItem(ItemCaption(n), lbItems_);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(checked[static_cast<std::size_t>(n - 1)] ? Qt::Checked
                                                                      : Qt::Unchecked);
    }
    lbItems_->setMinimumWidth(lbItems_->sizeHintForColumn(0) + 2 * lbItems_->frameWidth() + 24);
    RebuildSeries();
}

DateParts TrendWindow::WantedDay() const {
    const DateParts today = engine_.RunningDay();
    if (!btGestern_->isChecked() || !IsValidDate(today.year, today.month, today.day)) {
        return today;
    }
    return DecodeDate(EncodeDate(today.year, today.month, today.day) - 1);
}

void TrendWindow::OpenDay(const DateParts& day) {
    shownDay_ = day;
    times_.clear();
    columns_.clear();
    follower_.reset();
    if (IsValidDate(day.year, day.month, day.day)) {
        DayFiles& names = engine_.DayFileOutput().Files();
        FileSystem& files = engine_.GetHost().files;
        const int count = HeaderItemCount(files, names.PathOf(HeaderFileName(day)))
                              .value_or(engine_.Config().Settings().itemCount);
        follower_.emplace(files, names.PathOf(DayDataFileName(day)), count,
                          engine_.RegionalSettings());
        columns_.resize(static_cast<std::size_t>(count));
        Take(follower_->ReadNew().rows);
    }
    ShowFileState();
    RebuildSeries();
    ResetView();
}

void TrendWindow::Poll() {
    if (!btGestern_->isChecked() && WantedDay() != shownDay_) {
        OpenDay(WantedDay());
        return;
    }
    if (!follower_) {
        return;
    }
    const std::size_t known = times_.size();
    DayFileFollower::Update update = follower_->ReadNew();
    if (update.restarted) {
        times_.clear();
        for (auto& column : columns_) {
            column.clear();
        }
    }
    Take(update.rows);
    ShowFileState();
    if (update.restarted) {
        RebuildSeries();
        return;
    }
    for (const Picked& pick : picked_) {
        pick.series->append(Points(pick.item, known));
    }
    if (!viewMoved_) {
        FitAxes();
    }
}

void TrendWindow::Take(const std::vector<DayFileRow>& rows) {
    for (const DayFileRow& row : rows) {
        times_.push_back(MsSinceEpoch(row.date, row.secondOfDay));
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const auto& value = row.values[i];
            columns_[i].push_back(value ? *value : kNoValue);
        }
    }
}

void TrendWindow::ShowFileState() {
    const std::string name = DayDataFileName(shownDay_);
    if (!follower_) {
        lbDatei_->setText("Keine Tagesdatei");
    } else if (!engine_.GetHost().files.Exists(follower_->Path())) {
        lbDatei_->setText(ToQt(name) + " fehlt");
    } else {
        lbDatei_->setText(ToQt(name) + ": " + QString::number(times_.size()) + " Zeilen");
    }
}

QList<QPointF> TrendWindow::Points(int item, std::size_t fromRow) const {
    QList<QPointF> points;
    if (item < 1 || static_cast<std::size_t>(item) > columns_.size()) {
        return points;
    }
    const std::vector<double>& values = columns_[static_cast<std::size_t>(item - 1)];
    for (std::size_t i = fromRow; i < times_.size(); ++i) {
        if (std::isfinite(values[i])) {
            points.append(QPointF(static_cast<qreal>(times_[i]), values[i]));
        }
    }
    return points;
}

void TrendWindow::RebuildSeries() {
    // A new chart each time, its axes added once the view holds it: an axis removed from
    // a chart stays drawn, and one added before the view takes the chart is not drawn.
    unitAxes_.clear();
    picked_.clear();
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = chartView_->chart();
    chartView_->setChart(chart_);
    delete old;
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat("HH:mm:ss");
    timeAxis_->setTitleText("Uhrzeit");
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    for (int row = 0; row < lbItems_->count(); ++row) {
        if (lbItems_->item(row)->checkState() != Qt::Checked) {
            continue;
        }
        const int item = row + 1;
        const QString unit = ToQt(engine_.Config().Item(item).unit);
        QValueAxis*& axis = unitAxes_[unit];
        if (axis == nullptr) {
            axis = new QValueAxis;
            axis->setTitleText(unit);
            chart_->addAxis(axis, unitAxes_.size() == 1 ? Qt::AlignLeft : Qt::AlignRight);
        }
        auto* series = new QLineSeries;
        series->setName(lbItems_->item(row)->text());
        series->append(Points(item, 0));
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(axis);
        picked_.push_back({item, series, axis});
    }
    FitAxes();
}

void TrendWindow::ResetView() {
    chart_->zoomReset();
    viewMoved_ = false;
    FitAxes();
}

void TrendWindow::FitAxes() {
    qint64 first = 0;
    qint64 last = 0;
    if (!times_.empty()) {
        first = times_.front();
        last = std::max(times_.back(), first + kShortestSpanMs);
    } else if (IsValidDate(shownDay_.year, shownDay_.month, shownDay_.day)) {
        first = MsSinceEpoch(shownDay_, 0);
        last = first + kMsPerDay;
    } else {
        first = QDateTime::currentMSecsSinceEpoch();
        last = first + kShortestSpanMs;
    }
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(first),
                        QDateTime::fromMSecsSinceEpoch(last));
    for (auto& [unit, axis] : unitAxes_) {
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const Picked& pick : picked_) {
            if (pick.axis != axis) {
                continue;
            }
            for (const QPointF& point : pick.series->points()) {
                low = std::min(low, point.y());
                high = std::max(high, point.y());
            }
        }
        if (low > high) {
            low = 0.0;
            high = 1.0;
        }
        const double margin = high > low ? (high - low) * 0.05 : 1.0;
        axis->setRange(low - margin, high + margin);
        axis->applyNiceNumbers();
    }
}

void TrendWindow::showEvent(QShowEvent* event) {
    FillItemList();
    if (!follower_ || WantedDay() != shownDay_) {
        OpenDay(WantedDay());
    } else {
        Poll();
    }
    pollTimer_.start();
    QWidget::showEvent(event);
}

void TrendWindow::hideEvent(QHideEvent* event) {
    pollTimer_.stop();
    QWidget::hideEvent(event);
}

void AddTrendView(WindowCatalog& catalog, TarveddeMain& engine) {
    catalog.Add("Tagesverlauf1", false,
                [&engine](QWidget* parent) { return new TrendWindow(engine, parent); });
}

}  // namespace tarvedde
