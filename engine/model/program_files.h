// Names of the files the engine keeps in the program directory: settings, the running
// day's state and the markers other programs look for. Each name is defined here once.
#pragma once

namespace tarvedde {

// Settings.
inline constexpr char kMainIniFile[] = "TARVEDDE.INI";
inline constexpr char kCalibrationIniFile[] = "EICH.INI";
inline constexpr char kScalingIniFile[] = "VAR.INI";
inline constexpr char kCounterIniFile[] = "TARVEDDE_VAR.INI";

// The running day's state.
inline constexpr char kConfigStateFile[] = "TARVEDDE.COF";
inline constexpr char kNightStateFile[] = "TARVEDDE_NACHT.TVW";
inline constexpr char kMirrorStateFile[] = "SPIEGELDATEN.TVW";
inline constexpr char kCounterStateFile[] = "DIFFBUF.TVW";
inline constexpr char kFifteenMinuteStateFile[] = "M15BUF.TVW";
inline constexpr char kMovingStateFile[] = "GLEITBUF2.TVW";
// The moving-average buffer of older versions, deleted with the day's data.
inline constexpr char kOldMovingStateFile[] = "GLEITBUF.TVW";

// The AQASYS parameter codes and their names, one a line, edited in TFo_Kestrom1.
inline constexpr char kAqasysCodesFile[] = "AQASYSITEMS.TXT";
inline constexpr char kAqasysNamesFile[] = "AQASYSNAMES.TXT";

// Markers. $clean holds the last save's error bits and vouches for the state files;
// $dde_activ says a client works in this directory; the outside watchdog creates
// $dde_client_tot and restarts a client that does not delete it.
inline constexpr char kCleanMarkerFile[] = "$clean";
inline constexpr char kActiveMarkerFile[] = "$dde_activ";
inline constexpr char kDeadMarkerFile[] = "$dde_client_tot";
// Locked by the client working in this directory for its whole run, whatever environment
// started it; removed at its end. The marker alone cannot tell a live client from a crash.
inline constexpr char kClientLockFile[] = "$dde_activ.lock";

}  // namespace tarvedde
