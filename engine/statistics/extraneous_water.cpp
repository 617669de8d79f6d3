#include "engine/statistics/extraneous_water.h"

#include <cmath>

#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// 1 l/s over a day is 86.4 m³; times 100 for percent.
constexpr double kPercentFactor = 8640.0;

}  // namespace

double InflowVolumeOf(const ItemConfig& config, double integral) {
    const double volume = integral / config.sumDivisor;
    return std::isfinite(volume) ? volume : -1.0;
}

ExtraneousWater::ExtraneousWater(FileSystem& files, ProgramLog& log, const Locale& locale)
    : files_(files), log_(log), locale_(locale) {}

void ExtraneousWater::SetSettings(const ExtraneousWaterSettings& settings) {
    settings_ = settings;
    minimumInflow_ = -1.0;
    inflowVolume_ = -1.0;
}

void ExtraneousWater::TakeBlockInputs(int item, const ItemConfig& config,
                                      const ItemStatistics& statistics,
                                      const FifteenMinuteState& fifteenMinute, double integral) {
    if (item == settings_.ZulaufMin_ls_index) {
        const double minimum = config.M15_berechnen ? fifteenMinute.m15Minimum : statistics.minimum;
        // Still at its reset value, the minimum was never taken (no value that day, or a
        // fifteen-minute window that never filled): no share can be computed from it.
        minimumInflow_ = minimum < kMinimumReset ? minimum : -1.0;
    }
    if (item == settings_.ZulaufSumme_qbm_index) {
        inflowVolume_ = InflowVolumeOf(config, integral);
    }
}

std::optional<std::string> ExtraneousWater::TakeDayResult(double runningDay) {
    if (!HasBothInputs()) {
        return std::nullopt;
    }
    Compute();
    std::string line = "Fremdwasser bei " + FormatFixed(settings_.Zulauf_EwInd_ls, 8, 2, locale_) +
                       " l/s EW+Ind: " + FormatFixed(result_, 12, 2, locale_) + " %";
    AppendResultLine(kExtraneousWaterFile, runningDay);
    minimumInflow_ = -1.0;
    inflowVolume_ = -1.0;
    return line;
}

void ExtraneousWater::RunManualCalculation(ExtraneousWaterHost& host, Operator& op,
                                           double runningDay) {
    SetSettings(host.ReloadSettings());
    if (settings_.ZulaufMin_ls_index < 1 || settings_.ZulaufSumme_qbm_index < 1) {
        const std::string text =
            "Fremdwasserberechnung falsch konfiguriert! (s. TARVEDDE.INI, [Fremdwasser])";
        op.ShowMessage(text);
        log_.WriteLog(text);
        return;
    }
    EnterMinimumInflow(host, op);
    EnterNightInflow(host, op, false);
    EnterInflowVolume(host, op);
    if (HasBothInputs()) {
        Compute();
        const auto f = [this](double value) { return FormatFixed(value, 12, 1, locale_); };
        log_.WriteLog("\r\nEW+Ind [l/s]      : " + f(settings_.Zulauf_EwInd_ls) +
                      "\r\nMin. Zulauf [l/s] : " + f(minimumInflow_) + "\r\nZulauf Summe [m³] : " +
                      f(inflowVolume_) + "\r\nFremdwasser [%]   : " + f(result_));
    } else {
        log_.WriteLog("Keine Fremdwasserberechnung möglich !");
    }
    AppendResultLine(kManualExtraneousWaterFile, runningDay);
    // The operator's figures are for this line only: the day change takes its inputs
    // from the day's blocks, and would otherwise compute with these first.
    minimumInflow_ = -1.0;
    inflowVolume_ = -1.0;
}

void ExtraneousWater::EnterMinimumInflow(ExtraneousWaterHost& host, Operator& op) {
    const int item = settings_.ZulaufMin_ls_index;
    if (item < 1) {
        return;
    }
    minimumInflow_ = host.MinimumInflow(item);
    const auto text = op.InputBox("Min. Zulauf ändern", "Neuer Wert [l/s] ?",
                                  FormatFixed(minimumInflow_, 12, 1, locale_));
    if (!text) {
        return;
    }
    // The preset -1 of an item without a minimum is no inflow, nor anything below it.
    const auto value = ParseInput(*text);
    if (!value || *value < 0.0) {
        return;
    }
    minimumInflow_ = *value;
    host.StoreMinimumInflow(item, *value);
    log_.WriteLog("Min. Zulauf gesetzt auf: " + *text);
}

void ExtraneousWater::EnterNightInflow(ExtraneousWaterHost& host, Operator& op, bool fromMenu) {
    const auto text = op.InputBox("Geschätzter Nachtzulauf (EW+Ind.)", "Neuer Wert [l/s] ?",
                                  FormatGeneral(settings_.Zulauf_EwInd_ls, locale_));
    if (!text) {
        return;
    }
    const auto value = ParseInput(*text);
    if (!value) {
        log_.WriteLog("Fehler bei der Eingabe des Schätzwertes für Nachtzulauf EW+Ind. !");
        return;
    }
    settings_.Zulauf_EwInd_ls = *value;
    if (fromMenu) {
        host.SaveNightInflowText(*text);
        log_.WriteLog("Schätzwert für Nachtzulauf EW+Ind. gesetzt auf: " + *text);
    }
}

void ExtraneousWater::EnterInflowVolume(ExtraneousWaterHost& host, Operator& op) {
    const int item = settings_.ZulaufSumme_qbm_index;
    if (item < 1) {
        return;
    }
    inflowVolume_ = host.InflowVolume(item);
    const auto text = op.InputBox("Zulaufsumme ändern", "Neuer Wert [m³] ?",
                                  FormatFixed(inflowVolume_, 12, 1, locale_));
    if (!text) {
        return;
    }
    if (const auto value = ParseInput(*text)) {
        inflowVolume_ = *value;
    }
}

void ExtraneousWater::Compute() {
    result_ = (minimumInflow_ - settings_.Zulauf_EwInd_ls) * kPercentFactor / inflowVolume_;
}

void ExtraneousWater::AppendResultLine(const char* fileName, double runningDay) {
    const auto f = [this](double value) { return FormatFixed(value, 12, 1, locale_); };
    const std::string line = FormatDateTime("dd.mm.yyyy", DateOf(runningDay) - 1.0, locale_) +
                             " : Fremdwasser = " + f(result_) +
                             " %, Min.Zulauf = " + f(minimumInflow_) +
                             " l/s, EW+Ind = " + f(settings_.Zulauf_EwInd_ls) +
                             " l/s, Gesamtzulauf = " + f(inflowVolume_) + " m³";
    // The protocol keeps the share; the result file would otherwise lack the day unseen.
    if (!AppendLine(files_, programDir_ + fileName, line).ok()) {
        log_.WriteLog(std::string(fileName) + " nicht geschrieben: " + line);
    }
}

std::optional<double> ExtraneousWater::ParseInput(const std::string& text) const {
    const auto value = StrToFloat(NormalizeDecimal(text, locale_), locale_);
    if (!value) {
        return std::nullopt;
    }
    return value.value();
}

}  // namespace tarvedde
