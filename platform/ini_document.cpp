// INI parsing and byte-preserving edits; see the header for the rules.
#include "platform/ini_document.h"

#include <algorithm>
#include <array>
#include <map>

namespace tarvedde {
namespace {

constexpr std::string_view kIniLineEnd = "\r\n";

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned c = 0; c < 256; ++c) {
        table[c] = static_cast<unsigned char>(c);
    }
    for (unsigned c = 'A'; c <= 'Z'; ++c) {
        table[c] = static_cast<unsigned char>(c + 0x20);
    }
    for (unsigned c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) {  // the multiplication sign has no lower case
            table[c] = static_cast<unsigned char>(c + 0x20);
        }
    }
    table[0x8A] = 0x9A;  // Š
    table[0x8C] = 0x9C;  // Œ
    table[0x8E] = 0x9E;  // Ž
    table[0x9F] = 0xFF;  // Ÿ
    return table;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// `trimmed` is a non-blank line that is neither a section nor a comment.
std::optional<KeyLine> SplitKeyLine(std::string_view trimmed) {
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view key = TrimIniBlanks(trimmed.substr(0, equals));
    if (key.empty()) {
        return std::nullopt;
    }
    return KeyLine{key, IniValueAsRead(trimmed.substr(equals + 1))};
}

std::string FoldName(std::string_view name) {
    return FoldCaseCp1252(TrimIniBlanks(name));
}

}  // namespace

std::string FoldCaseCp1252(std::string_view bytes) {
    std::string folded(bytes);
    for (char& c : folded) {
        c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
    }
    return folded;
}

std::string_view TrimIniBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view IniValueAsRead(std::string_view value) {
    return Unquote(TrimIniBlanks(value));
}

IniDocument::IniDocument(std::string bytes) : bytes_(std::move(bytes)) {
    SplitLines();
    ParseLines();
}

void IniDocument::SplitLines() {
    std::size_t begin = 0;
    while (begin < bytes_.size()) {
        Line line;
        line.begin = begin;
        line.end = std::min(bytes_.find_first_of("\r\n", begin), bytes_.size());
        line.next = line.end;
        if (line.next < bytes_.size()) {
            const bool crLf = bytes_[line.next] == '\r' && line.next + 1 < bytes_.size() &&
                              bytes_[line.next + 1] == '\n';
            line.next += crLf ? 2 : 1;
        }
        lines_.push_back(line);
        begin = line.next;
    }
}

void IniDocument::ParseLines() {
    std::optional<std::size_t> current;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view trimmed = TrimIniBlanks(Content(i));
        lines_[i].blank = trimmed.empty();
        if (trimmed.empty()) {
            continue;
        }
        if (trimmed.front() == '[') {
            if (current) {
                sections_[*current].end = i;
            }
            current.reset();
            const std::size_t close = trimmed.find(']');
            if (close == std::string_view::npos) {
                continue;
            }
            Section section;
            section.name = TrimIniBlanks(trimmed.substr(1, close - 1));
            section.foldedName = FoldCaseCp1252(section.name);
            section.header = i;
            section.end = lines_.size();
            current = sections_.size();
            sectionIndex_.emplace(section.foldedName, sections_.size());
            sections_.push_back(std::move(section));
            continue;
        }
        if (!current || trimmed.front() == ';') {
            continue;
        }
        const std::optional<KeyLine> keyLine = SplitKeyLine(trimmed);
        if (!keyLine) {
            continue;
        }
        Section& section = sections_[*current];
        if (section.entryIndex.emplace(FoldCaseCp1252(keyLine->key), section.entries.size())
                .second) {
            section.entries.push_back({std::string(keyLine->key), std::string(keyLine->value)});
            section.entryLines.push_back(i);
        }
    }
}

std::string_view IniDocument::Content(std::size_t line) const {
    const Line& l = lines_[line];
    return std::string_view(bytes_).substr(l.begin, l.end - l.begin);
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    const auto it = sectionIndex_.find(FoldName(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return nullptr;
    }
    const auto it = s->entryIndex.find(FoldName(key));
    return it == s->entryIndex.end() ? nullptr : &s->entries[it->second].value;
}

const std::vector<IniDocument::Entry>* IniDocument::Entries(std::string_view section) const {
    const Section* s = FindSection(section);
    return s == nullptr ? nullptr : &s->entries;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (sectionIndex_.at(sections_[i].foldedName) == i) {
            names.push_back(sections_[i].name);
        }
    }
    return names;
}

std::string IniDocument::WithValue(std::string_view section, std::string_view key,
                                   std::string_view value) const {
    std::string keyLine = std::string(key) + "=" + std::string(value);
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return WithNewSection(section, keyLine);
    }
    const auto it = s->entryIndex.find(FoldName(key));
    if (it == s->entryIndex.end()) {
        return WithNewKey(*s, keyLine);
    }
    const Line& line = lines_[s->entryLines[it->second]];
    // The key keeps its spelling in the file.
    return Splice(line.begin, line.end, s->entries[it->second].key + "=" + std::string(value));
}

std::string IniDocument::WithValues(std::span<const Value> values) const {
    // Replaced lines keep the layout, so they are spliced in one pass; a key or section
    // that is new moves lines, and the rest goes on from the file it leaves.
    std::map<std::size_t, std::string> replaced;
    std::size_t done = 0;
    for (; done < values.size(); ++done) {
        const Value& v = values[done];
        const Section* s = FindSection(v.section);
        if (s == nullptr) {
            break;
        }
        const auto it = s->entryIndex.find(FoldName(v.key));
        if (it == s->entryIndex.end()) {
            break;
        }
        replaced[s->entryLines[it->second]] = s->entries[it->second].key + "=" + v.value;
    }
    std::string bytes;
    bytes.reserve(bytes_.size());
    std::size_t kept = 0;
    for (const auto& [line, content] : replaced) {
        bytes.append(bytes_, kept, lines_[line].begin - kept);
        bytes.append(content);
        kept = lines_[line].end;
    }
    bytes.append(bytes_, kept);
    if (done == values.size()) {
        return bytes;
    }
    const Value& next = values[done];
    const IniDocument edited(
        IniDocument(std::move(bytes)).WithValue(next.section, next.key, next.value));
    return edited.WithValues(values.subspan(done + 1));
}

std::string IniDocument::WithNewKey(const Section& section, std::string_view keyLine) const {
    std::size_t last = section.header;
    for (std::size_t i = section.header + 1; i < section.end; ++i) {
        if (!lines_[i].blank) {
            last = i;
        }
    }
    const Line& line = lines_[last];
    std::string insert;
    if (line.next == line.end) {  // the file's last line has no line end yet
        insert += kIniLineEnd;
    }
    insert += keyLine;
    insert += kIniLineEnd;
    return Splice(line.next, line.next, insert);
}

std::string IniDocument::WithNewSection(std::string_view section, std::string_view keyLine) const {
    std::string bytes = bytes_;
    if (!lines_.empty()) {
        if (lines_.back().next == lines_.back().end) {
            bytes += kIniLineEnd;
        }
        if (!lines_.back().blank) {
            bytes += kIniLineEnd;
        }
    }
    bytes += "[";
    bytes += section;
    bytes += "]";
    bytes += kIniLineEnd;
    bytes += keyLine;
    bytes += kIniLineEnd;
    return bytes;
}

std::optional<std::string> IniDocument::WithoutSection(std::string_view section) const {
    const std::string folded = FoldName(section);
    std::vector<std::size_t> doomed;
    for (const Section& s : sections_) {
        if (s.foldedName == folded) {
            for (std::size_t i = s.header; i < s.end; ++i) {
                doomed.push_back(i);
            }
        }
    }
    if (doomed.empty()) {
        return std::nullopt;
    }
    return RemoveLines(doomed);
}

std::optional<std::string> IniDocument::WithoutKey(std::string_view section,
                                                   std::string_view key) const {
    const Section* s = FindSection(section);
    const std::string folded = FoldName(key);
    if (s == nullptr || s->entryIndex.count(folded) == 0) {
        return std::nullopt;
    }
    std::vector<std::size_t> doomed;
    for (std::size_t i = s->header + 1; i < s->end; ++i) {
        const std::string_view trimmed = TrimIniBlanks(Content(i));
        if (trimmed.empty() || trimmed.front() == ';') {
            continue;
        }
        const std::optional<KeyLine> keyLine = SplitKeyLine(trimmed);
        if (keyLine && FoldCaseCp1252(keyLine->key) == folded) {
            doomed.push_back(i);
        }
    }
    return RemoveLines(doomed);
}

std::string IniDocument::Splice(std::size_t from, std::size_t to, std::string_view insert) const {
    std::string bytes;
    bytes.reserve(bytes_.size() - (to - from) + insert.size());
    bytes.append(bytes_, 0, from);
    bytes.append(insert);
    bytes.append(bytes_, to);
    return bytes;
}

std::string IniDocument::RemoveLines(const std::vector<std::size_t>& sortedLines) const {
    std::string bytes;
    bytes.reserve(bytes_.size());
    std::size_t kept = 0;
    for (const std::size_t line : sortedLines) {
        bytes.append(bytes_, kept, lines_[line].begin - kept);
        kept = lines_[line].next;
    }
    bytes.append(bytes_, kept);
    return bytes;
}

}  // namespace tarvedde
