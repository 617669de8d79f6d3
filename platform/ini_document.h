// The parsed form of one INI file's Windows-1252 bytes, with Windows profile semantics:
// names match without regard to case, the first of duplicate sections and of duplicate
// keys wins, ';' starts a comment. Edits never touch a byte they do not have to: they
// return the new file bytes with only the changed line replaced, inserted or removed.
// The parser is linear in the size of the input and accepts any bytes.
//
// Lines end at CR LF, LF or CR. A line whose first non-blank character is '[' starts a
// section; without its ']' it starts a section nobody can reach, so the keys under it
// never leak into the section above. Keys before the first section, lines without '='
// and lines with an empty key are kept but never read.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvedde {

class IniDocument {
public:
    struct Entry {
        std::string key;    // spelled as in the file, trimmed
        std::string value;  // trimmed; one pair of enclosing '"' or '\'' removed
    };

    explicit IniDocument(std::string bytes = {});

    const std::string& bytes() const { return bytes_; }

    // Names are 1252 bytes; whitespace around them is ignored. nullptr when missing.
    const std::string* Find(std::string_view section, std::string_view key) const;
    // The distinct keys of the first section of that name in file order; nullptr when
    // there is no such section.
    const std::vector<Entry>* Entries(std::string_view section) const;
    // Distinct section names, spelled as their first occurrence, in file order.
    std::vector<std::string> SectionNames() const;

    // Edits return the complete new file. Names must be trimmed and must read back as
    // themselves (no CR, LF, ']' in a section; no CR, LF, '=' and no leading '[' or ';'
    // in a key; no CR or LF in the value): IniFile checks that.
    // Changes the first occurrence, or appends the key to its section, or appends the
    // section to the file. New lines end in CR LF.
    std::string WithValue(std::string_view section, std::string_view key,
                          std::string_view value) const;
    struct Value {
        std::string section;
        std::string key;
        std::string value;
    };
    // The bytes WithValue gives when called for each value in turn on the file it left,
    // without parsing the file again for every value that replaces a line.
    std::string WithValues(std::span<const Value> values) const;
    // Removes every section of that name; nullopt when there is none.
    std::optional<std::string> WithoutSection(std::string_view section) const;
    // Removes every occurrence of the key in the first section of that name, so no
    // shadowed duplicate comes to light; nullopt when there is none.
    std::optional<std::string> WithoutKey(std::string_view section, std::string_view key) const;

private:
    struct Line {
        std::size_t begin = 0;
        std::size_t end = 0;   // end of the content
        std::size_t next = 0;  // after the line end
        bool blank = false;
    };
    struct Section {
        std::string name;
        std::string foldedName;
        std::size_t header = 0;  // line index of "[name]"
        std::size_t end = 0;     // line index after the last line of the section
        std::vector<Entry> entries;
        std::unordered_map<std::string, std::size_t> entryIndex;  // folded key -> entries
        std::vector<std::size_t> entryLines;                      // line of each entry
    };

    void SplitLines();
    void ParseLines();
    const Section* FindSection(std::string_view name) const;
    std::string_view Content(std::size_t line) const;
    std::string Splice(std::size_t from, std::size_t to, std::string_view insert) const;
    std::string WithNewKey(const Section& section, std::string_view keyLine) const;
    std::string WithNewSection(std::string_view section, std::string_view keyLine) const;
    std::string RemoveLines(const std::vector<std::size_t>& sortedLines) const;

    std::string bytes_;
    std::vector<Line> lines_;
    std::vector<Section> sections_;  // every section block, duplicates included
    std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> first block
};

// Lower-cases ASCII letters and the 1252 letters with a case pair (umlauts, accents,
// Š Œ Ž Ÿ), so "ZÄHLERSTAND" and "zählerstand" in 1252 fold to the same bytes.
std::string FoldCaseCp1252(std::string_view bytes);

// Space, tab, vertical tab and form feed at both ends removed.
std::string_view TrimIniBlanks(std::string_view text);
// A value as the file gives it back: trimmed, one pair of enclosing quotes removed.
std::string_view IniValueAsRead(std::string_view value);

}  // namespace tarvedde
