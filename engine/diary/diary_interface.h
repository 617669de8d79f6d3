// The diary interface's state: the binding of the diary positions TARVEGET publishes to
// items and kinds of value, and the table of the 300 diary value texts. The configuration
// load reads the binding, the end of the cycle hands the bound values over in the day's
// .TVI file, and the binding dialogs edit a copy of the records and write them back here.
//
// Nothing here stops the program: a missing or damaged file is told to the operator or
// logged, the binding stays as far as it could be read, and a transfer that cannot write
// its file loses that cycle's hand-over only.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "engine/model/item_model.h"
#include "engine/model/live_grid.h"
#include "outputs/day_file_names.h"
#include "outputs/diary_files.h"
#include "outputs/program_log.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "platform/operator.h"
#include "platform/result.h"

namespace tarvedde {

// What the binding's load depends on.
struct DiaryLoadSettings {
    std::string programDir;  // with the trailing separator
    bool permanentMode = true;
    bool nullStart = false;  // a cold start rebinds anyway: no word on new positions
    bool transferOn = true;  // [DDE] Tarveget: a missing ONLINE.TVW is worth a word
};

// Where the transferred values come from, all read only.
struct DiaryTransferSources {
    const PerItem<ItemConfig>& items;
    int itemCount = 0;
    const LiveGrid& grid;
    const PerItem<ItemStatistics>& statistics;
    const IntegrationStates& integration;
    const PerItem<MovingAverageState>& moving;
    const Locale& locale;
    double cycleTime = 0.0;  // its weekday and time of day decide the time windows
    double now = 0.0;        // names the replacement file
    // The cycle's elapsed clock: an integral is transferred up to the cycle, as shown.
    std::int64_t cycleElapsedMs = -1;
    // False in the first cycle after a start: the grid holds none of the day's means,
    // extremes and counts yet, and the file keeps those it has.
    bool gridOfTheDay = true;
};

class DiaryInterface {
public:
    // Every value starts as "-999.0".
    DiaryInterface(FileSystem& files, Operator& op, ProgramLog& log);
    DiaryInterface(const DiaryInterface&) = delete;
    DiaryInterface& operator=(const DiaryInterface&) = delete;

    // The positions of ONLINE.TVW, merged with the stored binding file of the mode
    // (created, converted from the older layout or rewritten as needed).
    void LoadDiaryBinding(const DiaryLoadSettings& settings);

    // The number of positions ONLINE.TVW gave; 0: the diary interface is off.
    int OnlineCount() const { return static_cast<int>(positionNames_.size()); }
    // The positions' names in file order, as the binding dialogs list them.
    const std::vector<std::string>& PositionNames() const { return positionNames_; }
    // One record per position in permanent mode, 300 (record n: index n) in AQASYS mode.
    const std::vector<DiaryBinding>& Bindings() const { return bindings_; }
    // The dialogs' save: the edited working copy becomes the binding.
    void ReplaceBindings(std::vector<DiaryBinding> records) { bindings_ = std::move(records); }
    // The binding file of the mode the binding was loaded for, with every record.
    Status RewriteBindingFile();

    // The item settings dialog's save: the bindings of the item at `oldAddress` take its new
    // address and name, and the binding file is rewritten. Without a loaded binding there
    // is nothing to follow.
    Status RenameBoundItem(const std::string& oldAddress, const std::string& address,
                           const std::string& name);
    // Every value back to "-999.0": at start and for a new day.
    void ClearValues();
    // "-999.0" for an index outside 1..300.
    const std::string& Value(int diaryIndex) const;
    // Ignored for an index outside 1..300.
    void SetValue(int diaryIndex, std::string text);

    // The bound values of the positions active at the cycle's time into the values table
    // and a new diary data file; inactive positions keep their last value.
    void TransferDiaryData(DayFiles& dayFiles, const DiaryTransferSources& sources);

private:
    bool ReadOnlineList(const DiaryLoadSettings& settings);
    void TakeOnlinePosition(const OnlinePosition& position, bool permanentMode);
    // The stored records, converted when in the older layout; false when unreadable.
    bool ReadStoredBindings(std::vector<DiaryBinding>& stored);
    void MergePermanent(const std::vector<DiaryBinding>& stored, bool nullStart);
    void MergeAqasys(const std::vector<DiaryBinding>& stored, bool nullStart);
    void ShowNewPositions(bool nullStart);
    struct Transfer;
    // `kept`: the values the file holds by index, for what the grid cannot give.
    Transfer CollectTransfer(const DiaryTransferSources& sources,
                             const std::map<int, std::string>& kept) const;
    std::map<int, std::string> ValuesInFile(DayFiles& dayFiles) const;
    static bool FromGrid(const DiaryBinding& binding, const DiaryTransferSources& sources);
    void Apply(Transfer& transfer);
    // A time frame that cannot be told adds its message to `logLines`.
    bool Active(const DiaryBinding& binding, const DiaryTransferSources& sources, int weekday,
                double timeOfDay, std::vector<std::pair<int, std::string>>& logLines) const;
    std::string ValueText(const DiaryBinding& binding, const DiaryTransferSources& sources) const;
    // The day's diary data file created empty, or the replacement file; empty: neither.
    std::string CreateDataFile(DayFiles& dayFiles, double now);

    FileSystem& files_;
    Operator& op_;
    ProgramLog& log_;
    std::string bindingPath_;
    std::vector<DiaryBinding> bindings_;
    std::vector<std::string> positionNames_;
    std::array<std::string, kDiaryValueCount + 1> values_{};  // index 0 unused
};

}  // namespace tarvedde
