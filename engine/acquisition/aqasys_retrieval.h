// The AQASYS retrieval: the stored day values of an AQASYS data logger, fetched through
// its DDE server one calendar day per tick of the main window's 500 ms transfer timer and
// written into that day's diary data file (.TVI) for TARVEGET. The year container
// remembers which days are fetched; a day's read flag is set only after its file is
// written, so a day whose file or server failed is fetched again. Retrieval is asked for
// by the operator (date field, dialog, start button) or by another program through the
// request file, polled every 2000 ms.
//
// Guarantees: a day waits at most one request time-out (1000 ms) for a server that stopped
// answering: its remaining parameters are left out, its read flag stays 0, and a lost
// conversation ends the transfer, as does the third such attempt of the same day. A damaged
// container or request file is logged, never trusted beyond its whole records or its first line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/acquisition/dde_client.h"
#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "engine/model/host.h"
#include "engine/model/main_window_model.h"
#include "outputs/datalog_container.h"
#include "outputs/program_log.h"
#include "platform/event_loop.h"
#include "platform/locale.h"

namespace tarvedde {

inline constexpr char kAqasysRequestFile[] = "$AQASYS_HOLEN";
// OpenDatalogContainer's answer when no day is to be fetched.
inline constexpr int kNothingToFetch = 999;

// What only the main window can do for the retrieval: its start and stop commands.
class AqasysRetrievalHost {
public:
    // Nothing is left to fetch, or the server is gone: the stop command, without asking.
    virtual void StopRetrieval() = 0;
    // A request file asked for a retrieval: the start command, unless one runs.
    virtual void StartRetrieval() = 0;

protected:
    ~AqasysRetrievalHost() = default;
};

class AqasysRetrieval {
public:
    AqasysRetrieval(Configuration& config, DiaryInterface& diary, DdeClient& dde, Host& host,
                    ProgramLog& log, const Locale& locale, MainWindowModel& window,
                    AqasysRetrievalHost& frame);
    AqasysRetrieval(const AqasysRetrieval&) = delete;
    AqasysRetrieval& operator=(const AqasysRetrieval&) = delete;

    // The start-up step of this mode: the container of a first run, then the request timer.
    void StartUp();

    // Index of the first unread day with `day` set to its date, or kNothingToFetch (also
    // when that day lies after today). Creates a missing container; with FirstRun all read.
    int OpenDatalogContainer(double& day);
    void TransferTick();
    // A start by the operator or a request file gives a failing day its attempts anew and
    // begins in the current year's container: an old year's day that keeps failing would
    // otherwise hold every later retrieval.
    void NewTransfer() {
        failedAttempts_ = 0;
        writeRetryMs_ = std::nullopt;
        transferYear_ = 0;
    }
    void RequestAqasysValue(int n, std::string request);
    // "" -> "-999.0"; "12.5" and "12,5" -> "12,5"; no number -> "-999.0", logged.
    void NormalizeNumberText(std::string& text);
    void SaveItem(int n, const std::string& text);
    void RequestFileTick();
    // The operator chose `chosen` in the date field: the days from it up to today unread.
    void piDate1CloseUp(double chosen);

    // The year the retrieval dialog chose ("2023", or "23"); empty: the current day's.
    const std::string& ContainerYearOverride() const { return containerYearOverride_; }
    void SetContainerYearOverride(std::string year) { containerYearOverride_ = std::move(year); }
    int ContainerYear() const;
    const Timer& TimerAqasys2() const { return *timerAqasys2_; }
    bool TransferBusy() const { return transferBusy_; }

private:
    void WriteLog(std::string_view text) { log_.WriteLog(text); }
    double Today() const;
    // Without ONLINE.TVW or with a damaged binding file no record is bound.
    bool AnyBinding() const;
    void FetchDay(int index, double day);
    void DayFailed(double day);
    void MarkRead(DatalogContainer& container, int index);
    // The request text of parameter n for `day`: "A12;" -> "A12;03.15;12".
    static std::string RequestText(const std::string& code, double day);

    Configuration& config_;
    DiaryInterface& diary_;
    DdeClient& dde_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    MainWindowModel& window_;
    AqasysRetrievalHost& frame_;
    std::unique_ptr<Timer> timerAqasys2_;
    bool transferBusy_ = false;
    std::string containerYearOverride_;
    // The year whose container the transfer works through (0: none yet): a transfer that
    // runs over New Year's midnight finishes the old year's days before the new year's.
    int transferYear_ = 0;
    // The day being fetched: its diary data file and the lines for it.
    std::string dayFilePath_;
    std::string dayFileText_;
    // A request of the day met no server (time-out, conversation gone).
    bool serverFailed_ = false;
    // The day whose requests met no server, and how many transfer ticks in a row.
    double failedDay_ = 0.0;
    int failedAttempts_ = 0;
    // After a refused day file: no fetch before then (the diary program may hold it).
    std::optional<std::int64_t> writeRetryMs_;
    // The request file last found without a date, so it is told once.
    FileStamp badRequestStamp_{};
    // The size of the damaged container last told, so a transfer tells it once.
    std::string damagedContainerTold_;
};

}  // namespace tarvedde
