// Windows INI files as the program's settings store, with the semantics of
// GetPrivateProfileString / WritePrivateProfileString as Delphi's TIniFile uses them
// (see ini_document.h for the parsing rules). Names and values are UTF-8 in memory and
// Windows-1252 on disk; a character 1252 cannot hold is written and looked up as '?'.
// A file an editor saved in UTF-8 (with a BOM, or valid UTF-8 holding non-ASCII
// characters) is read as UTF-8 and goes back to 1252, without the BOM, at the next write.
//
// Load: the configuration loader reads thousands of keys from one file, so the parsed
// file is cached; every call revalidates it with one FileSystem::Stamp and re-parses
// only when the file changed (another instance or another program wrote it). Writes of
// other IniFile objects in this process (same FileSystem, same path text) are seen even
// when they keep size and modification time (file times tick in milliseconds); an
// outside program's same-size edit within one tick of the previous change can be missed
// until the next change. Each write re-parses the file: fine for settings and counters,
// not meant for hundreds of changed keys per second. The parsed form is shared by every
// IniFile of the process on the same file with the same bytes, so a large file is read
// again when it changed but parsed once, not once per IniFile or per write of another.
//
// Guarantees: every write goes to the file at once, through a temporary file and a
// rename, so a crash leaves the old or the new file, never half of one. A write changes
// only the line it must; comments, unknown lines and sections, order and the spelling of
// names stay byte for byte. Bad input never fails a read: what cannot be parsed is not
// there, and the caller's default comes back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_document.h"
#include "platform/result.h"

namespace tarvedde {

class IniFile {
public:
    // Nothing is read until the first call. With `durable`, each write reaches the disk
    // before it returns (slow: only for files whose loss would cost more than time).
    IniFile(FileSystem& fs, std::string path, bool durable = false);

    const std::string& path() const { return path_; }

    // A missing or unreadable file, section or key gives the default.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal with optional sign, or hex as "$1F" / "0x1F" (0..FFFFFFFF, taken as the
    // 32-bit pattern, so "$FFFFFFFF" is -1). Anything else, or a decimal outside int32,
    // gives the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // Read as an integer: non-zero is true; unparsable gives the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // As Delphi's TIniFile: true only when the section holds at least one key.
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // Distinct key names of the section, spelled and ordered as in the file.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // Distinct section names, spelled and ordered as in the file (empty sections too).
    std::vector<std::string> ReadSections() const;
    // "key=value" for each key of ReadSection, the value as ReadString returns it.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;

    // Creates the file, section or key when missing; a write that would leave the file's
    // bytes as they are does not touch it. The value is written as given, so
    // blanks around it or enclosing quotes do not read back. Fails, without touching the
    // file, when a name or the value would not read back as itself (CR or LF anywhere,
    // ']' in a section name, an empty key or one with '=' or a leading '[' or ';'), when
    // the file exists but cannot be read, or when the write fails.
    Status WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Several values in one write of the file, with the bytes the WriteString calls one
    // after another would leave; nothing is written when any of them would fail.
    Status WriteStrings(std::span<const IniDocument::Value> utf8Values);
    Status WriteInteger(std::string_view section, std::string_view key, int value);
    // Writes "1" or "0".
    Status WriteBool(std::string_view section, std::string_view key, bool value);
    // Removes the section (every occurrence) with its keys and comments; a missing
    // section or file is no error and writes nothing.
    Status EraseSection(std::string_view section);
    // Removes the key (every occurrence in the section that reads); missing is no error.
    Status DeleteKey(std::string_view section, std::string_view key);

private:
    friend class IniReadBatch;
    // Brings the cache up to date; fails when the file exists but cannot be read (the
    // cache is then empty, so reads give defaults).
    Status Refresh() const;
    Status RefreshFromDisk(std::uint64_t generation) const;
    const IniDocument& Document() const;
    Status Store(std::string bytes);
    Error Failure(const std::string& what) const;
    // The value in 1252 with trimmed names, or why it would not read back as itself.
    Result<IniDocument::Value> Checked(std::string_view section, std::string_view key,
                                       std::string_view value) const;

    FileSystem& fs_;
    std::string path_;
    bool durable_;
    mutable std::shared_ptr<const IniDocument> document_;
    mutable std::optional<FileStamp> stamp_;  // of the cached content; none: reread
    mutable std::uint64_t generation_ = 0;    // of the in-process write counter
    mutable int batches_ = 0;                 // open IniReadBatch scopes
    mutable bool checkedInBatch_ = false;
    mutable bool readAsUtf8_ = false;  // the cache is 1252, the file still UTF-8
};

// The INI files on `fs` read as UTF-8 since the last call, each path once: the platform
// has no log, so the caller that owns one reports them.
std::vector<std::string> TakeIniFilesReadAsUtf8(const FileSystem& fs);

// While a batch is open, the file is checked against the disk once, at the first call,
// instead of at every call: a configuration load of thousands of keys costs one stat,
// not one per key. Writes of this process (through any IniFile) are still seen at once;
// an outside program's edit during the batch is seen after it.
class IniReadBatch {
public:
    explicit IniReadBatch(const IniFile& ini) : ini_(ini) { ++ini_.batches_; }
    ~IniReadBatch() {
        if (--ini_.batches_ == 0) {
            ini_.checkedInBatch_ = false;
        }
    }
    IniReadBatch(const IniReadBatch&) = delete;
    IniReadBatch& operator=(const IniReadBatch&) = delete;

private:
    const IniFile& ini_;
};

// Parses an integer as ReadInteger does; nullopt when it does not parse.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace tarvedde
