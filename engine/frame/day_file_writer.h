// The running day's data files: named after the day the frame runs, a header that
// describes the configuration, a new version of the day's files when the configuration
// changed (so one day data file never mixes two column layouts), and at the end of every
// cycle the live grid and the item statistics in the day, sample and viewer files.
// Reads the engine's data only; a failing file is logged by the writers and the cycle
// goes on.
#pragma once

#include <optional>

#include "engine/config/configuration.h"
#include "engine/model/item_model.h"
#include "engine/model/live_grid.h"
#include "outputs/day_file_names.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/file_system.h"
#include "platform/locale.h"

namespace tarvedde {

class DayFileWriter {
public:
    DayFileWriter(const Configuration& config, FileSystem& files, ProgramLog& log,
                  const Locale& locale);
    DayFileWriter(const DayFileWriter&) = delete;
    DayFileWriter& operator=(const DayFileWriter&) = delete;

    struct Opened {
        bool dataFileCreated = false;
        // The header described another configuration: the day's files went on to a new
        // version, and the day's accumulated state files must start anew too.
        bool newVersion = false;
        // The header described another configuration and no version was started.
        bool otherConfiguration = false;
    };
    // At the start: the files of `day`, created where missing; a header of another
    // configuration starts the next version, unless `versionOnChange` is false.
    Opened Open(const DateParts& day, bool versionOnChange = true);
    // A clock taken back to an earlier day: that day's files, as at a start on it, so
    // its rows land in its own data file.
    void Reopen(const DateParts& day);
    // At midnight: the new day's files with a fresh header.
    void CreateForNewDay(const DateParts& day);
    // The operator's "delete all day data": the next version of the day's files.
    void StartNextVersion(const DateParts& day);
    // The general settings dialog's save: the next version only when the configuration no
    // longer matches the day's header. True when one was started.
    bool StartNextVersionIfChanged(const DateParts& day);

    // What the viewer file shows of each item.
    struct ViewerInputs {
        const LiveGrid& grid;
        const IntegrationStates& integration;
        const PerItem<MovingAverageState>& moving;
        double cycleTime;
        std::int64_t cycleElapsedMs;
    };
    // End of a cycle: the viewer file, and the rows of the day data and sample files.
    void WriteViewerFile(const DateParts& day, const ViewerInputs& inputs);
    void WriteCycleRows(const DateParts& day, const LiveGrid& grid, double cycleTime);

    // The diary and viewer files every cycle, else when the grid's rows are full.
    void SetTransferEveryCycle(bool everyCycle) { transferEveryCycle_ = everyCycle; }
    bool TransferEveryCycle() const { return transferEveryCycle_; }
    // Day data rows every cycle, else in blocks of the grid's rows.
    void SetDatEveryCycle(bool everyCycle) { datEveryCycle_ = everyCycle; }
    bool DatEveryCycle() const { return datEveryCycle_; }
    // The time of the last row in `day`'s data file, the last cycle that wrote one.
    std::optional<double> LastRowTime(const DateParts& day);
    // The day's file names, which the statistics write to as well.
    DayFiles& Files() { return files_; }
    // The same, named after `day`.
    DayFiles& FilesFor(const DateParts& day) {
        Sync(day);
        return files_;
    }
    // Names the files after `day` and whether a postponed day change is pending.
    void Sync(const DateParts& day);

private:
    Opened OpenFiles(const DateParts& day, bool atStart, bool versionOnChange = true);
    HeaderData CurrentHeader() const;
    void NextVersion(const HeaderData& header);
    void WriteHeader(const HeaderData& header);

    const Configuration& config_;
    ProgramLog& log_;
    const Locale& locale_;
    DayFiles files_;
    bool transferEveryCycle_ = false;
    bool datEveryCycle_ = false;
    // A header the disk refused: without it the viewer cannot read the day's rows.
    bool headerPending_ = false;
};

}  // namespace tarvedde
