// The day-trend window ("Tagesverlauf"): the running day's course of the items the
// operator picks, read from the day data file the engine writes, growing with every
// cycle; yesterday's file one click away. It reads files only and holds no engine logic.
#pragma once

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QValueAxis>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "engine/frame/tarvedde_main.h"
#include "outputs/day_file_reader.h"

namespace tarvedde {

class WindowCatalog;

// Wheel zoom, rubber-band zoom (right click zooms out again) and panning with the middle
// mouse button or the arrow keys; tells when the operator moved the view.
class TrendChartView final : public QChartView {
public:
    TrendChartView(QChart* chart, std::function<void()> onViewMoved);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void()> onViewMoved_;
    std::optional<QPointF> panFrom_;
};

class TrendWindow final : public QWidget {
public:
    explicit TrendWindow(TarveddeMain& engine, QWidget* parent = nullptr);

    // Reads what the shown file gained; a new running day switches to the new day's file
    // unless yesterday is shown.
    void Poll();
    // Back to the whole day with every value in view.
    void ResetView();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Picked {
        int item = 0;
        QLineSeries* series = nullptr;
        QValueAxis* axis = nullptr;
    };

    void FillItemList();
    DateParts WantedDay() const;
    void OpenDay(const DateParts& day);
    void Take(const std::vector<DayFileRow>& rows);
    void ShowFileState();
    void RebuildSeries();
    // Item n's values from the row on, without those the file did not have.
    QList<QPointF> Points(int item, std::size_t fromRow) const;
    void FitAxes();
    QString ItemCaption(int item) const;

    TarveddeMain& engine_;
    QListWidget* lbItems_;
    QLabel* lbDatei_;
    QPushButton* btGestern_;
    QPushButton* btZoomZurueck_;
    QChart* chart_;
    QDateTimeAxis* timeAxis_;
    TrendChartView* chartView_;
    QTimer pollTimer_;
    bool viewMoved_ = false;

    DateParts shownDay_{};
    std::optional<DayFileFollower> follower_;
    // What the shown file held so far: each row's time and item n's values at n - 1
    // (NaN where the file said "n.v.").
    std::vector<qint64> times_;
    std::vector<std::vector<double>> columns_;
    std::vector<Picked> picked_;
    std::map<QString, QValueAxis*> unitAxes_;
};

// Registers the window as "Tagesverlauf1".
void AddTrendView(WindowCatalog& catalog, TarveddeMain& engine);

}  // namespace tarvedde
