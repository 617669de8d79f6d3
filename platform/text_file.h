// The program's text files on a FileSystem: Windows-1252 bytes with CR LF on disk, UTF-8
// lines in memory. Log files grow one AppendLine at a time (open, append, close, so
// another program may read or rotate them in between); whole-file rewrites go through a
// temporary file and a rename, so a reader or a crash sees the old or the new file,
// never a mix.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

namespace tarvedde {

// Appends the line and CR LF; creates the file when missing. A CR or LF inside the line
// is written as it is. A failed append leaves the file as it was.
Status AppendLine(FileSystem& fs, const std::string& path, std::string_view utf8Line);

// All lines in one append (no lines: only creates the file when missing).
Status AppendLines(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines);

// Lines end at CR LF, lone LF or lone CR; a last line without a line end counts, an
// empty file has no lines. Fails when the file is missing or unreadable.
Result<std::vector<std::string>> ReadLines(const FileSystem& fs, const std::string& path);

// Replaces the file with the lines, each ended by CR LF, through WriteFileAtomic.
Status WriteLines(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines,
                  bool durable);

// Converts the text to 1252 (line ends are written as given) and calls WriteFileAtomic.
Status WriteTextAtomic(FileSystem& fs, const std::string& path, std::string_view utf8Text,
                       bool durable);

// Writes `path` + ".tmp", then renames it over `path`. On failure the temporary file is
// removed (best effort) and `path` keeps its old content, or stays missing.
Status WriteFileAtomic(FileSystem& fs, const std::string& path, std::string_view bytes,
                       bool durable);

// Creates the file empty when missing; an existing file keeps its content.
Status CreateEmptyFile(FileSystem& fs, const std::string& path);

// True when the file is gone afterwards (deleted, or missing to begin with); false only
// when it exists and could not be deleted.
bool DeleteIfExists(FileSystem& fs, const std::string& path);

}  // namespace tarvedde
