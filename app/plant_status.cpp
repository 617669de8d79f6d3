#include "app/plant_status.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "outputs/day_file_reader.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr std::size_t kLogLinesShown = 10;
constexpr std::size_t kFirstTailBytes = 16 * 1024;
constexpr std::size_t kCountChunkBytes = 1024 * 1024;
constexpr int kWatchdogSeconds = 30;  // three heartbeats
constexpr char kStartLine[] = "Programmstart in ";
// An OPC start whose connect failed links nothing until the watchdog's restart succeeds.
constexpr std::string_view kOpcConnectFailed = " > *** OPCclient.Connect/ConnectGroups : Fehler !";

std::optional<double> LocalModified(const FileSystem& files, const std::string& path,
                                    const TimeZone& zone) {
    const auto stamp = files.Stamp(path);
    if (!stamp) {
        return std::nullopt;
    }
    const std::int64_t localMs = zone.ToLocalMs(stamp.value().modifiedNs / 1'000'000);
    return kUnixEpochDay + static_cast<double>(localMs) / kMsPerDay;
}

int SecondsBetween(double from, double to) {
    return static_cast<int>(std::lround((to - from) * 86400.0));
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         end = text.find('\n', start)) {
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

// The end of a file, read backwards in growing ranges until `enough` holds for it or the
// file's start is reached; it begins with a whole line, a line cut by the range's start is
// left out. Empty when the file cannot be read.
template <class Enough>
std::string ReadTail(const FileSystem& files, const std::string& path, Enough enough) {
    const auto size = files.Size(path);
    if (!size) {
        return {};
    }
    std::string tail;
    std::uint64_t from = size.value();
    for (std::size_t length = kFirstTailBytes; from > 0; length *= 2) {
        const std::uint64_t start = from > length ? from - length : 0;
        const auto bytes = files.ReadRange(path, start, static_cast<std::size_t>(from - start));
        if (!bytes) {
            return {};
        }
        tail.insert(0, bytes.value());
        from = start;
        const std::size_t cut = from > 0 ? tail.find('\n') : std::string::npos;
        if (from == 0 ||
            (cut != std::string::npos && enough(std::string_view(tail).substr(cut + 1)))) {
            return from > 0 ? tail.substr(cut + 1) : tail;
        }
    }
    return tail;
}

// Lines ended by LF, read in ranges: a day file of one-second cycles has 100 MB.
int CountLines(const FileSystem& files, const std::string& path) {
    int lines = 0;
    for (std::uint64_t at = 0;; at += kCountChunkBytes) {
        const auto bytes = files.ReadRange(path, at, kCountChunkBytes);
        if (!bytes || bytes.value().empty()) {
            return lines;
        }
        lines += static_cast<int>(std::count(bytes.value().begin(), bytes.value().end(), '\n'));
    }
}

// JJJJMMDD.DAT; the versions a configuration change leaves (JJJJMMDD_n.DAT) are done.
bool IsDayFileName(const std::string& name) {
    return name.size() == 12 && name.ends_with(".DAT") &&
           std::all_of(name.begin(), name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

void ReadSettings(FileSystem& files, PlantFacts& facts) {
    IniFile ini(files, facts.programDir + kMainIniFile);
    GeneralSettings cycle;
    cycle.intervalCount = schema::Read(ini, schema::kIntervall);
    cycle.intervalUnit = schema::Read(ini, schema::kEinheit);
    config::SetCycleInterval(cycle);
    facts.cycleSeconds = std::max(cycle.cycleIntervalMs / 1000, 1);
    facts.permanentMode = schema::Read(ini, schema::kPermanent);
    facts.heartbeatChecked = schema::Read(ini, schema::kCheckTot);
    facts.itemsConfigured = schema::Read(ini, schema::kItemcount);
}

void ReadDayFile(FileSystem& files, PlantFacts& facts) {
    auto names = files.List(facts.programDir);
    std::erase_if(names, [](const std::string& name) { return !IsDayFileName(name); });
    if (names.empty()) {
        return;
    }
    facts.dayFile = *std::max_element(names.begin(), names.end());
    const std::string path = facts.programDir + facts.dayFile;
    const std::string header = facts.dayFile.substr(0, 8) + ".AQH";
    const int items =
        HeaderItemCount(files, facts.programDir + header).value_or(facts.itemsConfigured);
    const auto lastRow = [items](std::string_view tail) {
        const auto lines = SplitLines(tail);
        std::optional<DayFileRow> row;
        for (auto line = lines.rbegin(); line != lines.rend() && !row; ++line) {
            row = ParseDayFileRow(*line, items, GermanLocale());
        }
        return row;
    };
    const auto last = lastRow(
        ReadTail(files, path, [&](std::string_view tail) { return lastRow(tail).has_value(); }));
    if (last) {
        facts.lastCycle = EncodeDate(last->date.year, last->date.month, last->date.day) +
                          last->secondOfDay / 86400.0;
    }
    // Every row ends with its line break; a row cut short by a crash has none.
    facts.dayRows = CountLines(files, path);
}

// The number before `tail` in "<stamp> > <number><tail>".
std::optional<int> CountBefore(const std::string& line, std::string_view lead,
                               std::string_view tail) {
    const std::size_t text = line.find(" > ");
    if (text == std::string::npos || !line.ends_with(tail)) {
        return std::nullopt;
    }
    const std::size_t from = text + 3 + lead.size();
    if (line.compare(text + 3, lead.size(), lead) != 0 || line.size() < from + tail.size()) {
        return std::nullopt;
    }
    const std::string number = line.substr(from, line.size() - tail.size() - from);
    const auto value = StrToInt(number.substr(0, number.find(' ')));
    return value ? std::optional<int>(value.value()) : std::nullopt;
}

void TakeLinkLine(const std::string& line, PlantFacts& facts) {
    if (auto linked = CountBefore(line, "", " Werte werden übertragen.")) {
        facts.itemsLinked = linked;
        facts.linksIncomplete = false;
    } else if (auto partly = CountBefore(line, "Achtung ! Nur ", " Werten werden übertragen.")) {
        facts.itemsLinked = partly;
        facts.linksIncomplete = true;
    } else if (auto mirrored = CountBefore(line, "", " Werte werden gespiegelt.")) {
        facts.itemsMirrored = mirrored;
    } else if (line.ends_with(kOpcConnectFailed)) {
        facts.itemsLinked = 0;
        facts.linksIncomplete = true;
    }
}

// The log grows for as long as the plant runs: only its tail back to the last start.
void ReadLog(FileSystem& files, PlantFacts& facts) {
    const std::string tail =
        ReadTail(files, facts.programDir + kLogAllFile, [](std::string_view text) {
            return text.find(kStartLine) != std::string_view::npos &&
                   static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >=
                       kLogLinesShown;
        });
    const auto lines = SplitLines(Cp1252ToUtf8(tail));
    auto start = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) {
        return line.find(kStartLine) != std::string::npos;
    });
    for (auto it = start.base(); it != lines.end(); ++it) {
        TakeLinkLine(*it, facts);
    }
    const std::size_t shown = std::min(lines.size(), kLogLinesShown);
    facts.lastLogLines.assign(lines.end() - static_cast<std::ptrdiff_t>(shown), lines.end());
}

std::string Moment(double dayNumber) {
    return FormatDateTime("dd.mm.yyyy hh:nn:ss", dayNumber);
}

}  // namespace

PlantFacts ReadPlantFacts(FileSystem& files, const std::string& programDir, const Clock& clock,
                          const TimeZone& zone) {
    PlantFacts facts;
    facts.programDir = programDir;
    facts.now = clock.Now();
    if (!files.IsDirectory(programDir)) {
        facts.notAPlant = "no directory " + programDir;
        return facts;
    }
    if (!files.ReadAll(programDir + kMainIniFile)) {
        facts.notAPlant = "no readable " + std::string(kMainIniFile) + " in " + programDir;
        return facts;
    }
    ReadSettings(files, facts);
    facts.markerSince = LocalModified(files, programDir + kActiveMarkerFile, zone);
    facts.watchdogSince = LocalModified(files, programDir + kDeadMarkerFile, zone);
    facts.lastLogWrite = LocalModified(files, programDir + kLogAllFile, zone);
    ReadDayFile(files, facts);
    ReadLog(files, facts);
    return facts;
}

namespace {

std::optional<int> AgeOf(const PlantFacts& facts, const std::optional<double>& at) {
    return at ? std::optional<int>(SecondsBetween(*at, facts.now)) : std::nullopt;
}

// A clock set back makes the last row lie ahead: a small lead still counts as current.
bool CycleCurrent(const PlantFacts& facts, int stale) {
    const auto age = AgeOf(facts, facts.lastCycle);
    return age && std::abs(*age) <= stale;
}

void JudgeClient(const PlantFacts& facts, int stale, PlantVerdict& verdict) {
    const auto logAge = AgeOf(facts, facts.lastLogWrite);
    const auto watchdogAge = AgeOf(facts, facts.watchdogSince);
    const bool alive = CycleCurrent(facts, stale) || (logAge && *logAge <= stale);
    if (!facts.markerSince) {
        verdict.client = "not running (no $dde_activ)";
    } else if (facts.heartbeatChecked && watchdogAge && *watchdogAge > kWatchdogSeconds) {
        verdict.client = "not running: $dde_activ of " + Moment(*facts.markerSince) +
                         " left behind, $dde_client_tot not removed for " +
                         std::to_string(*watchdogAge) + " s";
    } else if (!alive) {
        verdict.client = "not running or hung: $dde_activ of " + Moment(*facts.markerSince) +
                         " left behind, no day row or log line for " + std::to_string(stale) + " s";
    } else {
        verdict.running = true;
        verdict.client = "running since " + Moment(*facts.markerSince);
    }
}

void JudgeAcquisition(const PlantFacts& facts, int stale, PlantVerdict& verdict) {
    const auto age = AgeOf(facts, facts.lastCycle);
    const std::string cycleText =
        age ? "last cycle " + std::to_string(*age) + " s ago" : "no cycle row";
    if (!facts.permanentMode) {
        verdict.code = verdict.running ? StatusCode::Ok : StatusCode::Critical;
        verdict.headline = "AQASYS client " + verdict.client;
    } else if (age && *age < -stale) {
        verdict.code = StatusCode::Warning;
        verdict.headline =
            "last cycle " + std::to_string(-*age) + " s in the future: the clock was set back";
    } else if (!verdict.running) {
        verdict.code = StatusCode::Critical;
        verdict.headline = "client " + verdict.client + ", " + cycleText;
    } else if (!CycleCurrent(facts, stale)) {
        verdict.code = StatusCode::Critical;
        verdict.headline = "stale, " + cycleText + " (stale after " + std::to_string(stale) + " s)";
    } else if (facts.linksIncomplete) {
        verdict.code = StatusCode::Warning;
        verdict.headline = cycleText + ", only " + std::to_string(facts.itemsLinked.value_or(0)) +
                           " of " + std::to_string(facts.itemsConfigured) + " items linked";
    } else {
        verdict.code = StatusCode::Ok;
        verdict.headline = cycleText;
    }
}

}  // namespace

PlantVerdict JudgePlant(const PlantFacts& facts, std::optional<int> staleAfterSeconds) {
    PlantVerdict verdict;
    if (!facts.notAPlant.empty()) {
        verdict.headline = facts.notAPlant;
        return verdict;
    }
    verdict.staleAfterSeconds = staleAfterSeconds.value_or(2 * facts.cycleSeconds + 60);
    JudgeClient(facts, verdict.staleAfterSeconds, verdict);
    JudgeAcquisition(facts, verdict.staleAfterSeconds, verdict);
    return verdict;
}

std::string PlantStatusReport(const PlantFacts& facts, const PlantVerdict& verdict) {
    static constexpr const char* kCodeNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    std::string text = std::string("TARVEDDE ") + kCodeNames[static_cast<int>(verdict.code)] +
                       " - " + verdict.headline + "\n";
    if (!facts.notAPlant.empty()) {
        return text;
    }
    text += "Plant directory: " + facts.programDir + "\n";
    text += "Client: " + verdict.client + "\n";
    text += "Cycle time: " + std::to_string(facts.cycleSeconds) + " s, stale after " +
            std::to_string(verdict.staleAfterSeconds) + " s\n";
    text += "Last cycle: " + (facts.lastCycle ? Moment(*facts.lastCycle) : "none") + "\n";
    const auto count = [](const std::optional<int>& n) {
        return n ? std::to_string(*n) : std::string("?");
    };
    text += "Items: " + count(facts.itemsLinked) + " of " + std::to_string(facts.itemsConfigured) +
            " linked, " + count(facts.itemsMirrored.value_or(0)) +
            " mirrored (as the last start logged)\n";
    text += "Rows of the running day: " + std::to_string(facts.dayRows) +
            (facts.dayFile.empty() ? "" : " (" + facts.dayFile + ")") + "\n";
    text += "Last log lines:\n";
    for (const std::string& line : facts.lastLogLines) {
        text += "  " + line + "\n";
    }
    return text;
}

int PrintPlantStatus(const std::string& programDir, std::optional<int> staleAfterSeconds,
                     std::ostream& out) {
    auto files = MakeRealFileSystem();
    auto clock = MakeSystemClock();
    auto zone = TimeZone::System();
    if (!zone) {
        std::cerr << zone.error().message << "; file times are read as UTC\n";
    }
    const PlantFacts facts =
        ReadPlantFacts(*files, programDir, *clock, zone ? zone.value() : TimeZone::Utc());
    const PlantVerdict verdict = JudgePlant(facts, staleAfterSeconds);
    out << PlantStatusReport(facts, verdict) << std::flush;
    return static_cast<int>(verdict.code);
}

}  // namespace tarvedde
