// The places where the statistics that build on each processed value join per-value
// processing. Each default does nothing; the statistics layer derives from them, and the
// program frame hands its instances to the value processor.
#pragma once

#include <optional>

namespace tarvedde {

// Extremes shown instead of the day's, while a window of values is being kept.
struct WindowExtremes {
    double average = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
};

// Limit warnings join here: a value past an item's warning limits (and, when set, its
// second condition) is handed on.
class LimitWarnings {
public:
    virtual ~LimitWarnings() = default;
    virtual void CheckLimitWarning(int /*item*/, double /*value*/) {}
};

// Fifteen-minute values join here: every counted value, and the window's extremes that
// the live grid shows instead of the day's.
class FifteenMinuteValues {
public:
    virtual ~FifteenMinuteValues() = default;
    virtual void UpdateFifteenMinuteValues(int /*item*/, double /*value*/) {}
    virtual std::optional<WindowExtremes> Extremes(int /*item*/) const { return std::nullopt; }
};

// Moving averages join here: the mean and extremes the live grid shows for an item.
class MovingAverages {
public:
    virtual ~MovingAverages() = default;
    virtual std::optional<WindowExtremes> Current(int /*item*/) const { return std::nullopt; }
};

// Time frames and time tables join here: the frame of a normal item on a matching day,
// the table of a mirrored item, and all tables once the cycle's items are done.
class TimeFrames {
public:
    virtual ~TimeFrames() = default;
    virtual void CheckTimeFrame(int /*item*/) {}
    virtual void EvaluateTimeTable(int /*item*/) {}
    virtual void CheckTimeTables() {}
};

struct StatisticsJoins {
    LimitWarnings& limitWarnings;
    FifteenMinuteValues& fifteenMinuteValues;
    MovingAverages& movingAverages;
    TimeFrames& timeFrames;
};

}  // namespace tarvedde
