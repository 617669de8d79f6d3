// `--status`: a plant directory judged from its files alone, for an operator and for
// monitoring (Nagios-style exit statuses). Reads only: it takes no lock, writes nothing
// and works whether a client runs there or not. Reads the program log's tail back to the
// last start and the running day's data file (its tail, and its line breaks counted).
//
// Running: a clean end deletes $dde_activ, a crash leaves it, so the marker alone says
// too much. A client counts as running while its marker is there and it shows a sign of
// life (a day row, a log line) within the stale time; a watchdog file $dde_client_tot
// older than three heartbeats (30 s) means nobody removes it any more. Within the stale
// time a crash cannot be told from a running client by the files.
// Stale: the last day row is older than the stale time, by default 2 x cycle time + 60 s.
// Codes: Ok running and current; Warning current but the last start linked fewer items
// than configured, or the last row lies further ahead than the stale time (the clock was
// set back); Critical not running, or stale; Unknown no directory or no TARVEDDE.INI.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/time_zone.h"

namespace tarvedde {

enum class StatusCode : int { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// What the files say; times are local day numbers, as the clock gives them.
struct PlantFacts {
    std::string programDir;
    std::string notAPlant;  // why the directory cannot be judged; empty when it can
    double now = 0;
    int cycleSeconds = 10;
    bool permanentMode = true;  // false: AQASYS, which writes no cycle rows
    bool heartbeatChecked = true;
    int itemsConfigured = 0;
    std::optional<double> markerSince;    // $dde_activ
    std::optional<double> watchdogSince;  // $dde_client_tot
    std::optional<double> lastLogWrite;   // _DDE_OPC_LOGALL.TXT
    std::optional<double> lastCycle;      // the last row of the newest day file
    std::string dayFile;                  // its name; empty when there is none
    int dayRows = 0;
    std::optional<int> itemsLinked;  // as the last start logged them
    std::optional<int> itemsMirrored;
    bool linksIncomplete = false;  // "Achtung ! Nur n von m Werten ..." or an OPC connect failed
    std::vector<std::string> lastLogLines;  // UTF-8, oldest first
};

struct PlantVerdict {
    StatusCode code = StatusCode::Unknown;
    bool running = false;
    int staleAfterSeconds = 0;
    std::string headline;  // the monitoring line after "TARVEDDE <code> - "
    std::string client;    // the running line
};

PlantFacts ReadPlantFacts(FileSystem& files, const std::string& programDir, const Clock& clock,
                          const TimeZone& zone);
// `staleAfterSeconds` none: 2 x cycle time + 60 s.
PlantVerdict JudgePlant(const PlantFacts& facts, std::optional<int> staleAfterSeconds);
// The summary, UTF-8, its first line the monitoring line.
std::string PlantStatusReport(const PlantFacts& facts, const PlantVerdict& verdict);

// The program: the real files and clock, the report on `out`; the verdict's exit status.
int PrintPlantStatus(const std::string& programDir, std::optional<int> staleAfterSeconds,
                     std::ostream& out);

}  // namespace tarvedde
