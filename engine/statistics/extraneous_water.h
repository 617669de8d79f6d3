// The extraneous-water share of a day's inflow: FW = (Qmin - EW+Ind) x 8640 / Qday, in
// percent, from the night minimum of the inflow item (l/s), the day volume of the sum item
// (m³) and the estimated night inflow of inhabitants and industry (l/s).
//
// Two paths reach it: the day-change statistics, whose item blocks hand in the two inputs
// and take the protocol line once both are known (then both start again at -1, so one
// statistics run writes one line), and the operator's menu "Fremdwasser", which asks for
// corrected inputs. Each appends one line to its result file; a file that cannot be
// written is ignored, as acquisition must go on.
#pragma once

#include <optional>
#include <string>

#include "engine/model/item_model.h"
#include "outputs/program_log.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "platform/operator.h"

namespace tarvedde {

inline constexpr char kExtraneousWaterFile[] = "Fremdwasser.txt";
inline constexpr char kManualExtraneousWaterFile[] = "Fremdwasser_Manuell.txt";

// What the manual calculation needs of the rest of the program; the frame implements it
// over the configuration loader and the item model.
class ExtraneousWaterHost {
public:
    virtual ~ExtraneousWaterHost() = default;
    // The [Fremdwasser] keys read again, logged and written back, as at configuration load.
    virtual ExtraneousWaterSettings ReloadSettings() = 0;
    // Stores the operator's text as [Fremdwasser] Zulauf_EwInd_ls.
    virtual void SaveNightInflowText(const std::string& text) = 0;
    // The item's 15-minute minimum when 15-minute values are on for it, else its day
    // minimum; StoreMinimumInflow puts the operator's correction in the same place.
    virtual double MinimumInflow(int item) = 0;
    virtual void StoreMinimumInflow(int item, double value) = 0;
    // The item's integral divided by its SummenTeiler (InflowVolumeOf).
    virtual double InflowVolume(int item) = 0;
};

// integral / sumDivisor, or -1 when that is not a finite number.
double InflowVolumeOf(const ItemConfig& config, double integral);

class ExtraneousWater {
public:
    ExtraneousWater(FileSystem& files, ProgramLog& log, const Locale& locale);

    // With the trailing separator.
    void SetProgramDir(std::string programDir) { programDir_ = std::move(programDir); }
    // The settings as the configuration loaded them; both inputs start again at -1.
    void SetSettings(const ExtraneousWaterSettings& settings);
    const ExtraneousWaterSettings& Settings() const { return settings_; }

    double MinimumInflow() const { return minimumInflow_; }
    double InflowVolume() const { return inflowVolume_; }
    double NightInflow() const { return settings_.Zulauf_EwInd_ls; }

    // An item block hands in what it is: the minimum-inflow item its minimum (15-minute
    // minimum when 15-minute values are on for it), the volume item its day volume.
    void TakeBlockInputs(int item, const ItemConfig& config, const ItemStatistics& statistics,
                         const FifteenMinuteState& fifteenMinute, double integral);
    // Once both inputs are positive: the protocol line, with the result line appended to
    // Fremdwasser.txt (named after the day before `runningDay`) and both inputs back at
    // -1. Otherwise nothing.
    std::optional<std::string> TakeDayResult(double runningDay);

    // Menu "Fremdwasser": reload, the three input boxes, the log entry and the line in
    // Fremdwasser_Manuell.txt (also without a new result: it then repeats the last one).
    void RunManualCalculation(ExtraneousWaterHost& host, Operator& op, double runningDay);
    // The three input steps; a cancelled box leaves its value as it was. The night
    // inflow is stored in the settings file only when `fromMenu`.
    void EnterMinimumInflow(ExtraneousWaterHost& host, Operator& op);
    void EnterNightInflow(ExtraneousWaterHost& host, Operator& op, bool fromMenu);
    void EnterInflowVolume(ExtraneousWaterHost& host, Operator& op);

private:
    bool HasBothInputs() const { return minimumInflow_ > 0.0 && inflowVolume_ > 0.0; }
    void Compute();
    void AppendResultLine(const char* fileName, double runningDay);
    std::optional<double> ParseInput(const std::string& text) const;

    FileSystem& files_;
    ProgramLog& log_;
    const Locale& locale_;
    std::string programDir_;
    ExtraneousWaterSettings settings_;
    double minimumInflow_ = -1.0;
    double inflowVolume_ = -1.0;
    double result_ = 0.0;  // the last FW, repeated by a manual run without inputs
};

}  // namespace tarvedde
