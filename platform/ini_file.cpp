// IniFile: a cached IniDocument kept in step with the file; see the header.
#include "platform/ini_file.h"
#include "platform/ascii.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

// Counts the writes of all IniFile objects of this process per file. Two writes within
// one tick of the file clock can leave size and time unchanged; the count still moves.
class WriteCounts {
public:
    static std::uint64_t Get(const FileSystem& fs, const std::string& path) {
        const std::lock_guard lock(Mutex());
        const auto it = Counts().find({&fs, path});
        return it == Counts().end() ? 0 : it->second;
    }
    static std::uint64_t Increment(const FileSystem& fs, const std::string& path) {
        const std::lock_guard lock(Mutex());
        return ++Counts()[{&fs, path}];
    }

private:
    using Key = std::pair<const FileSystem*, std::string>;
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::map<Key, std::uint64_t>& Counts() {
        static std::map<Key, std::uint64_t> counts;
        return counts;
    }
};

// The parsed files of the process, one per file system and path. A document is taken
// only for the very same bytes, so a file system that reuses an address or a stamp can
// never be served another file's content.
class SharedDocuments {
public:
    static std::shared_ptr<const IniDocument> For(const FileSystem& fs, const std::string& path,
                                                  std::string bytes) {
        {
            const std::lock_guard lock(Mutex());
            const auto it = Documents().find({&fs, path});
            if (it != Documents().end() && it->second->bytes() == bytes) {
                return it->second;
            }
        }
        auto document = std::make_shared<const IniDocument>(std::move(bytes));
        const std::lock_guard lock(Mutex());
        Documents()[{&fs, path}] = document;
        return document;
    }
    static std::shared_ptr<const IniDocument> Empty() {
        static const auto empty = std::make_shared<const IniDocument>();
        return empty;
    }

private:
    using Key = std::pair<const FileSystem*, std::string>;
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::map<Key, std::shared_ptr<const IniDocument>>& Documents() {
        static std::map<Key, std::shared_ptr<const IniDocument>> documents;
        return documents;
    }
};

// The files of each file system read as UTF-8 and not yet reported.
class Utf8Reads {
public:
    static void Add(const FileSystem& fs, const std::string& path) {
        const std::lock_guard lock(Mutex());
        Paths()[&fs].insert(path);
    }
    static std::vector<std::string> Take(const FileSystem& fs) {
        const std::lock_guard lock(Mutex());
        const auto node = Paths().extract(&fs);
        return node ? std::vector<std::string>(node.mapped().begin(), node.mapped().end())
                    : std::vector<std::string>{};
    }

private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::map<const FileSystem*, std::set<std::string>>& Paths() {
        static std::map<const FileSystem*, std::set<std::string>> paths;
        return paths;
    }
};

// The settings are 1252 everywhere else, so a UTF-8 file is taken in 1252 here, once;
// nullopt for a file read as it is.
std::optional<std::string> Cp1252FromUtf8File(std::string_view bytes) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.starts_with(kBom)) {
        return Utf8ToCp1252(bytes.substr(kBom.size()));
    }
    if (IsUtf8WithMultiByte(bytes)) {
        return Utf8ToCp1252(bytes);
    }
    return std::nullopt;
}

bool IsValidSection(std::string_view name) {
    return name.find_first_of("\r\n]") == std::string_view::npos;
}

bool IsValidKey(std::string_view key) {
    return !key.empty() && key.find_first_of("\r\n=") == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

bool IsValidValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    std::uint64_t magnitude = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || digit >= base) {
            return std::nullopt;
        }
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    // Hex is a 32-bit pattern, as Delphi's StrToInt reads it.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) {
        bits = 0u - bits;
    }
    return static_cast<int>(bits);
}

IniFile::IniFile(FileSystem& fs, std::string path, bool durable)
    : fs_(fs), path_(std::move(path)), durable_(durable), document_(SharedDocuments::Empty()) {}

Error IniFile::Failure(const std::string& what) const {
    return Error{"INI " + path_ + ": " + what};
}

Status IniFile::Refresh() const {
    const std::uint64_t generation = WriteCounts::Get(fs_, path_);
    if (checkedInBatch_ && generation_ == generation) {
        return Status::Ok();
    }
    checkedInBatch_ = false;
    Status refreshed = RefreshFromDisk(generation);
    checkedInBatch_ = batches_ > 0 && refreshed.ok();
    return refreshed;
}

Status IniFile::RefreshFromDisk(std::uint64_t generation) const {
    auto stamp = fs_.Stamp(path_);
    if (!stamp) {
        document_ = SharedDocuments::Empty();
        stamp_.reset();
        readAsUtf8_ = false;
        if (fs_.Exists(path_)) {
            return stamp.error();
        }
        return Status::Ok();
    }
    if (stamp_ && *stamp_ == stamp.value() && generation_ == generation) {
        return Status::Ok();
    }
    auto bytes = fs_.ReadAll(path_);
    if (!bytes) {
        document_ = SharedDocuments::Empty();
        stamp_.reset();
        readAsUtf8_ = false;
        return bytes.error();
    }
    std::optional<std::string> converted = Cp1252FromUtf8File(bytes.value());
    readAsUtf8_ = converted.has_value();
    if (readAsUtf8_) {
        Utf8Reads::Add(fs_, path_);
    }
    document_ = SharedDocuments::For(fs_, path_,
                                     converted ? std::move(*converted) : std::move(bytes).value());
    stamp_ = stamp.value();
    generation_ = generation;
    return Status::Ok();
}

const IniDocument& IniFile::Document() const {
    (void)Refresh();  // an unreadable file reads as empty
    return *document_;
}

Status IniFile::Store(std::string bytes) {
    if (bytes == document_->bytes() && stamp_ && !readAsUtf8_) {
        return Status::Ok();  // the loader writes back what it read; spare the disk
    }
    const Status written = WriteFileAtomic(fs_, path_, bytes, durable_);
    const std::uint64_t generation = WriteCounts::Increment(fs_, path_);
    if (!written) {
        stamp_.reset();
        return written;
    }
    readAsUtf8_ = false;
    auto stamp = fs_.Stamp(path_);
    document_ = SharedDocuments::For(fs_, path_, std::move(bytes));
    stamp_.reset();
    if (stamp) {
        stamp_ = stamp.value();
        generation_ = generation;
    }
    return Status::Ok();
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const std::string* value = Document().Find(Utf8ToCp1252(section), Utf8ToCp1252(key));
    return value == nullptr ? std::string(defaultValue) : Cp1252ToUtf8(*value);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const std::string* value = Document().Find(Utf8ToCp1252(section), Utf8ToCp1252(key));
    return value == nullptr ? defaultValue : ParseIniInteger(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::SectionExists(std::string_view section) const {
    const auto* entries = Document().Entries(Utf8ToCp1252(section));
    return entries != nullptr && !entries->empty();
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return Document().Find(Utf8ToCp1252(section), Utf8ToCp1252(key)) != nullptr;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const auto* entries = Document().Entries(Utf8ToCp1252(section))) {
        for (const IniDocument::Entry& entry : *entries) {
            keys.push_back(Cp1252ToUtf8(entry.key));
        }
    }
    return keys;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names = Document().SectionNames();
    for (std::string& name : names) {
        name = Cp1252ToUtf8(name);
    }
    return names;
}

std::vector<std::string> IniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::string> lines;
    if (const auto* entries = Document().Entries(Utf8ToCp1252(section))) {
        for (const IniDocument::Entry& entry : *entries) {
            lines.push_back(Cp1252ToUtf8(entry.key) + "=" + Cp1252ToUtf8(entry.value));
        }
    }
    return lines;
}

Result<IniDocument::Value> IniFile::Checked(std::string_view section, std::string_view key,
                                            std::string_view value) const {
    IniDocument::Value checked{std::string(TrimIniBlanks(Utf8ToCp1252(section))),
                               std::string(TrimIniBlanks(Utf8ToCp1252(key))), Utf8ToCp1252(value)};
    if (!IsValidSection(checked.section)) {
        return Failure("invalid section name \"" + std::string(section) + "\"");
    }
    if (!IsValidKey(checked.key)) {
        return Failure("invalid key name \"" + std::string(key) + "\"");
    }
    if (!IsValidValue(checked.value)) {
        return Failure("line break in the value of " + std::string(key));
    }
    return checked;
}

Status IniFile::WriteString(std::string_view section, std::string_view key,
                            std::string_view value) {
    const Result<IniDocument::Value> checked = Checked(section, key, value);
    if (!checked) {
        return checked.error();
    }
    if (Status status = Refresh(); !status) {
        return status;
    }
    const IniDocument::Value& v = checked.value();
    return Store(document_->WithValue(v.section, v.key, v.value));
}

Status IniFile::WriteStrings(std::span<const IniDocument::Value> utf8Values) {
    std::vector<IniDocument::Value> values;
    values.reserve(utf8Values.size());
    for (const IniDocument::Value& v : utf8Values) {
        Result<IniDocument::Value> checked = Checked(v.section, v.key, v.value);
        if (!checked) {
            return checked.error();
        }
        values.push_back(std::move(checked).value());
    }
    if (Status status = Refresh(); !status) {
        return status;
    }
    return Store(document_->WithValues(values));
}

Status IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

Status IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

Status IniFile::EraseSection(std::string_view section) {
    if (Status status = Refresh(); !status) {
        return status;
    }
    std::optional<std::string> bytes = document_->WithoutSection(Utf8ToCp1252(section));
    return bytes ? Store(std::move(*bytes)) : Status::Ok();
}

Status IniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (Status status = Refresh(); !status) {
        return status;
    }
    std::optional<std::string> bytes =
        document_->WithoutKey(Utf8ToCp1252(section), Utf8ToCp1252(key));
    return bytes ? Store(std::move(*bytes)) : Status::Ok();
}

std::vector<std::string> TakeIniFilesReadAsUtf8(const FileSystem& fs) {
    return Utf8Reads::Take(fs);
}

}  // namespace tarvedde
