// Turns the settings files (TARVEDDE.INI, EICH.INI, VAR.INI, TARVEDDE_VAR.INI, the
// delimiter lists, the conversion tables and the protocol order) into the item model:
// Configuration::Load, LoadItemOptions and BuildValueDelimiters.
// Load runs at program start and whenever the general settings dialog opens; it returns
// true when it reached the end of the permanent mode's set-up: the running day's state
// files must exist from then on, and the caller creates the missing ones.
// LoadItemOptions is the second loading step at program start and at acquisition start:
// logging flags, delimiters, time tables, OPC watchdog keys, warnings, counter readings.
// Each group of steps is guarded: a failure ends that group, logs or shows its message,
// and keeps what was read; nothing is rolled back and nothing throws out of these.
#pragma once

#include <string>
#include <string_view>

#include "engine/config/configuration.h"

namespace tarvedde {

// Field k (k >= 1) of a "|"-separated configuration text.
std::string Teilstring(std::string_view text, int k);

namespace config {
// The cycle interval (cycleIntervalMs) from the interval count and unit.
void SetCycleInterval(GeneralSettings& settings);
}  // namespace config

}  // namespace tarvedde
