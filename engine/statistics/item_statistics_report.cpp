#include "engine/statistics/item_statistics_report.h"

#include <algorithm>
#include <string>

#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr int kHeadingIndent = 40;
constexpr int kReportIndent = 80;

// The day change stands at midnight while samples may have come after it.
bool SampleAfter(const IntegrationState& state, double now, std::int64_t nowMs) {
    const ElapsedMark& mark = state.lastSampleMark;
    if (nowMs >= 0 && mark.elapsedMs >= 0 && mark.wallTime == state.lastSampleTime) {
        return mark.elapsedMs > nowMs;
    }
    return state.lastSampleTime > now;
}

class BlockBuilder {
public:
    BlockBuilder(int item, const ItemReportInputs& inputs, StatisticsRun& run, std::int64_t nowMs)
        : item_(item),
          in_(inputs),
          cfg_(inputs.config),
          st_(inputs.statistics),
          run_(run),
          nowMs_(nowMs) {}

    void Formatted() {
        run_.extraneousWater.TakeBlockInputs(item_, cfg_, st_, in_.fifteenMinute, DayVolume());
        TextAttributes heading;
        heading.bold = true;
        heading.indent = kHeadingIndent;
        run_.memo2.SetAttributes(heading);
        run_.memo2.Append(cfg_.itemName);
        TextAttributes lines;
        lines.indent = kReportIndent;
        run_.memo2.SetAttributes(lines);
        if (cfg_.IsDigital()) {
            FormattedDigital();
        } else {
            FormattedOther();
        }
    }

    void Plain() {
        LinesModel& out = run_.memoStat;
        out.Append("************  " + cfg_.itemName);
        if (cfg_.IsDigital()) {
            if (cfg_.Integral) {
                out.Append("Summe/Betriebszeit=" + F(Integral() / SD()) + " " + cfg_.sumUnit);
                if (cfg_.MaxAusZeit_anzeigen) {
                    OffTimeLines([&](std::string line) { out.Append(std::move(line)); });
                }
            } else {
                out.Append("Betriebszeit=" + F(st_.count) + " h");
            }
            return;
        }
        out.Append(CountText() + " Meßwerte : " + "   Mittel=" + F(st_.average) +
                   "   Min.=" + F(st_.minimum) + "   Max.=" + F(st_.maximum) + " [" + Unit() + "]");
        if (cfg_.Integral) {
            out.Append(cfg_.mirror.mirrorOn
                           ? "Summe (gespiegelt)=" + F(st_.sum / SD()) + " " + cfg_.sumUnit
                           : "Summe=" + F(Integral() / SD()) + " " + cfg_.sumUnit);
        }
        if (cfg_.Differenz) {
            out.Append("Zählerdifferenz/Verbrauch=" + F(st_.sum / SD()) + " " + cfg_.sumUnit);
        }
        if (cfg_.Gleitend) {
            out.Append(MovingLine());
        }
    }

private:
    void FormattedDigital() {
        std::string line;
        if (cfg_.Integral) {
            if (cfg_.Tagesmengen_protokollieren) {
                BringIntegralUpToNow();
                line =
                    "Summe/Betriebszeit=" + F(Integral() / SD()) + " " + cfg_.sumUnit + "   /    ";
                if (cfg_.MaxAusZeit_anzeigen) {
                    OffTimeLines([&](std::string text) { Add(std::move(text)); });
                }
            }
            if (cfg_.Fortlaufend_summieren) {
                line += TotalCounter(Integral());
            }
        } else {
            if (cfg_.Tagesmengen_protokollieren) {
                line = "Betriebszeit=" + F(st_.count) + " h" + "   /   ";
            }
            if (cfg_.Fortlaufend_summieren) {
                line += "Gesamtzählerstand : " + F(cfg_.counterReading + in_.setAside + st_.count) +
                        " h";
            }
        }
        if (!line.empty()) {
            Add(std::move(line));
        }
    }

    void FormattedOther() {
        if (auto water = run_.extraneousWater.TakeDayResult(run_.runningDay)) {
            Add(std::move(*water));
        }
        const std::string head = CountText() + " Meßwerte : " + "   Mittel=" + F(st_.average);
        if (cfg_.M15_berechnen && HasFullWindow(in_.fifteenMinute)) {
            const FifteenMinuteState& m15 = in_.fifteenMinute;
            Add(head + "   Min.(15min)=" + F(m15.m15Minimum) + " um " + Time(m15.m15MinimumTime) +
                "  /" + "   Max.(15min)=" + F(m15.m15Maximum) + " um " + Time(m15.m15MaximumTime));
        } else {
            Add(head + "   Min.=" + F(st_.minimum) + "   Max.=" + F(st_.maximum) + " [" + Unit() +
                "]");
        }
        if (cfg_.Integral) {
            if (cfg_.mirror.mirrorOn) {
                Add("Summe (gespiegelt)=" + F(st_.sum / SD()) + " " + cfg_.sumUnit);
            } else {
                BringIntegralUpToNow();
                std::string line;
                if (cfg_.Tagesmengen_protokollieren) {
                    line = "Tagesmenge=" + F(Integral() / SD()) + " " + cfg_.sumUnit + "   /   ";
                }
                if (cfg_.Fortlaufend_summieren) {
                    line += TotalCounter(Integral());
                }
                Add(std::move(line));
            }
        }
        if (cfg_.Differenz && cfg_.Tagesmengen_protokollieren) {
            std::string line =
                "Zählerdifferenz/Verbrauch=" + F(st_.sum / SD()) + " " + cfg_.sumUnit + "   /   ";
            if (cfg_.Fortlaufend_summieren) {
                line += TotalCounter(st_.sum);
            }
            Add(std::move(line));
        }
        if (cfg_.Gleitend) {
            Add(MovingLine());
        }
    }

    template <class Sink>
    void OffTimeLines(Sink sink) const {
        const IntegrationState& state = in_.integration[item_];
        sink("Max. Auszeit : " + Time(state.maxOffDuration));
        sink("Ausgeschaltet : " + Time(state.maxOffStart));
        sink("Eingeschaltet : " + Time(state.maxOffEnd));
    }

    // The running period's amount with what the day set aside before it.
    std::string TotalCounter(double periodAmount) const {
        return "Gesamtzählerstand : " +
               F((cfg_.counterReading + in_.setAside + periodAmount) / SD()) + " " + cfg_.sumUnit;
    }

    std::string MovingLine() const {
        const MovingAverageState& moving = in_.moving;
        return "Gleitendes Mittel=" + F(moving.movingAverage) +
               "  Min.=" + F(moving.movingMinimum) + "  Max.=" + F(moving.movingMaximum) + " [" +
               Unit() + "]";
    }

    void BringIntegralUpToNow() {
        tarvedde::BringIntegralUpToNow(item_, cfg_, in_.integration, run_);
    }

    void Add(std::string line) { run_.memo2.Append(std::move(line)); }
    double Integral() const { return in_.integration[item_].runningSum; }
    // The day's volume as the block's own line will state it: up to now.
    double DayVolume() const {
        return RunningSumAt(cfg_, in_.integration[item_], run_.now, nowMs_);
    }
    double SD() const { return cfg_.sumDivisor; }
    std::string Unit() const {
        return cfg_.valueConversion.conversionOn ? cfg_.valueConversion.conversionUnit : cfg_.unit;
    }
    std::string F(double value) const { return FormatFixed(value, 12, 2, run_.locale); }
    std::string CountText() const { return FormatFixed(st_.count, 8, 0, run_.locale); }
    std::string Time(double value) const { return FormatDateTime("tt", value, run_.locale); }

    int item_;
    const ItemReportInputs& in_;
    const ItemConfig& cfg_;
    const ItemStatistics& st_;
    StatisticsRun& run_;
    std::int64_t nowMs_;
};

bool HasNoBlock(int item, const ItemConfig& config, int itemCount) {
    if (item < 1 || item > std::min(itemCount, maxItems)) {
        return true;
    }
    const int source = config.mirror.sourceItem;
    return config.mirror.mirrorOn && (source < 1 || source > itemCount);
}

}  // namespace

void BringIntegralUpToNow(int item, const ItemConfig& config, IntegrationStates& integration,
                          const StatisticsRun& run) {
    // Its chain goes on from that later sample, or the time since would count twice; a
    // chain brought up to this moment already keeps its elapsed mark.
    if (SampleAfter(integration[item], run.now, run.nowMs) ||
        integration[item].lastSampleTime == run.now) {
        return;
    }
    integration.SetSum(item, IntegralUpTo(config, integration[item], run.now, run.nowMs));
    integration.RestartSampleChain(item, run.now, run.nowMs);
}

void BuildItemStatistics(int item, const ItemReportInputs& inputs, StatisticsRun& run) {
    if (HasNoBlock(item, inputs.config, run.itemCount)) {
        return;
    }
    BlockBuilder block(item, inputs, run, run.nowMs);
    block.Formatted();
    block.Plain();
}

}  // namespace tarvedde
