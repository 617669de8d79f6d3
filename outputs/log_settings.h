// The four log settings of section [DDE] of TARVEDDE.INI: DetailLog, DebugLog, TabelLog
// and LogLevel. Loaded at configuration load and whenever the logging dialog opens or
// saves; each load logs what the program now logs, one line per setting.
// Guarantees: settings read or write failures never fail the caller (the INI reader
// gives defaults), and after a load the settings are normalised: a LogLevel of 1 or 2
// is the same thing as DetailLog or DebugLog on, and a LogLevel of 3 or more runs with
// both off.
#pragma once

#include "outputs/program_log.h"
#include "platform/ini_file.h"

namespace tarvedde {

inline constexpr char kLogSettingsSection[] = "DDE";
inline constexpr int kMaxLogLevel = 10;

// Reads the settings into log.Settings(), normalises them and logs them.
void LoadLogSettings(const IniFile& ini, ProgramLog& log);

// The dialog's "Übernehmen und speichern": `level` (0..kMaxLogLevel, clamped) and
// `tabelLog` are taken, level 0 switches DetailLog and DebugLog off, all four are written
// and then loaded again (so the normalisation and the log lines follow).
void SaveLogSettings(IniFile& ini, ProgramLog& log, int level, bool tabelLog);

}  // namespace tarvedde
