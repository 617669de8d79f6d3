#include "outputs/log_settings.h"

#include <algorithm>
#include <string>

namespace tarvedde {
namespace {

std::string SwitchLine(const char* key, bool on) {
    return std::string("[DDE] ") + key + (on ? "=1 (eingeschaltet)." : "=0 (ausgeschaltet).");
}

// The level wins over the two switches only from 3 up; below, the switches decide it,
// DebugLog over DetailLog.
void Normalise(LogSettings& s) {
    if (s.logLevel < 3) {
        if (s.detailLog) {
            s.logLevel = 1;
        }
        if (s.debugLog) {
            s.logLevel = 2;
        }
    }
    if (s.logLevel == 1) {
        s.detailLog = true;
    } else if (s.logLevel == 2) {
        s.debugLog = true;
    } else {
        s.detailLog = false;
        s.debugLog = false;
    }
}

}  // namespace

void LoadLogSettings(const IniFile& ini, ProgramLog& log) {
    LogSettings& s = log.Settings();
    s.logLevel = ini.ReadInteger(kLogSettingsSection, "LogLevel", 0);
    s.detailLog = ini.ReadBool(kLogSettingsSection, "DetailLog", false);
    s.debugLog = ini.ReadBool(kLogSettingsSection, "DebugLog", false);
    s.tabelLog = ini.ReadBool(kLogSettingsSection, "TabelLog", false);
    Normalise(s);
    log.WriteLog(SwitchLine("DetailLog", s.detailLog));
    log.WriteLog(SwitchLine("DebugLog", s.debugLog));
    log.WriteLog(SwitchLine("TabelLog", s.tabelLog));
    log.WriteLog("[DDE] LogLevel=" + std::to_string(s.logLevel));
}

void SaveLogSettings(IniFile& ini, ProgramLog& log, int level, bool tabelLog) {
    LogSettings& s = log.Settings();
    s.logLevel = std::clamp(level, 0, kMaxLogLevel);
    // Below 3 the level chosen sets both switches: one left on from the level before would
    // win over it when the settings are read back. From 3 up the level wins anyway.
    if (s.logLevel < 3) {
        s.detailLog = s.logLevel == 1;
        s.debugLog = s.logLevel == 2;
    }
    s.tabelLog = tabelLog;
    // A settings file that cannot be written only costs the setting at the next start.
    (void)ini.WriteBool(kLogSettingsSection, "DetailLog", s.detailLog);
    (void)ini.WriteBool(kLogSettingsSection, "DebugLog", s.debugLog);
    (void)ini.WriteBool(kLogSettingsSection, "TabelLog", s.tabelLog);
    (void)ini.WriteInteger(kLogSettingsSection, "LogLevel", s.logLevel);
    LoadLogSettings(ini, log);
}

}  // namespace tarvedde
