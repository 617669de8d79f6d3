// A settings file read every cycle: the parsed file is kept and revalidated by size and
// time, so a cycle parses it only when it changed.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/ini_file.h"

namespace tarvedde {

inline IniFile& KeptIniFile(std::optional<IniFile>& kept, FileSystem& files, std::string path) {
    if (!kept || kept->path() != path) {
        kept.emplace(files, std::move(path));
    }
    return *kept;
}

}  // namespace tarvedde
