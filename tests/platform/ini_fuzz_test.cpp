// Random bytes through the INI parser and writer: nothing may crash (the sanitizer build
// runs this too), and a write must read back without disturbing any other section.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "platform/ini_file.h"
#include "platform/memory_file_system.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    char Byte() {
        static constexpr std::string_view kSyntax = "[]=;\r\n\0 \t\"'aAbB";
        if (Below(4) == 0) {
            return static_cast<char>(0x80 + Below(0x80));
        }
        return kSyntax[static_cast<std::size_t>(Below(static_cast<int>(kSyntax.size())))];
    }

    std::string File() {
        std::string bytes;
        const int pieces = Below(60);
        for (int i = 0; i < pieces; ++i) {
            const int kind = Below(20);
            if (kind == 0) {
                bytes.append(static_cast<std::size_t>(Below(5000)), Byte());
            } else if (kind < 6) {
                bytes += "\r\n[" + (Below(2) == 0 ? ValidName() : Name()) + "]\r\n";
            } else if (kind < 12) {
                bytes += (Below(2) == 0 ? ValidName() : Name()) + "=" + Value() + "\r\n";
            } else {
                bytes += Byte();
            }
        }
        return bytes;
    }

    // 1252 bytes from a small alphabet, so names collide often, in both cases.
    std::string Name() {
        static constexpr std::string_view kLetters = "aA\xE4\xC4 \t\"'";
        std::string name;
        const int length = Below(3);
        for (int i = 0; i < length; ++i) {
            name += kLetters[static_cast<std::size_t>(Below(static_cast<int>(kLetters.size())))];
        }
        return name;
    }

    // A name IniFile accepts: something left after trimming, no syntax characters.
    std::string ValidName() { return "k" + Name(); }

    // One of `names` half the time, else a new valid name.
    std::string PickName(const std::vector<std::string>& names) {
        if (!names.empty() && Below(2) == 0) {
            return names[static_cast<std::size_t>(Below(static_cast<int>(names.size())))];
        }
        return Cp1252ToUtf8(ValidName());
    }

    std::string Value() {
        std::string value = Name();
        for (int i = Below(3); i > 0; --i) {
            char c = Byte();
            value += c == '\r' || c == '\n' ? 'x' : c;
        }
        return value;
    }

private:
    std::mt19937 random_;
};

std::string Folded(const std::string& utf8Name) {
    return FoldCaseCp1252(TrimIniBlanks(Utf8ToCp1252(utf8Name)));
}

std::map<std::string, std::vector<std::string>> Snapshot(const IniFile& ini) {
    std::map<std::string, std::vector<std::string>> sections;
    for (const std::string& name : ini.ReadSections()) {
        sections[Folded(name)] = ini.ReadSectionValues(name);
        for (const std::string& line : sections[Folded(name)]) {
            (void)ParseIniInteger(line.substr(line.find('=') + 1));  // for the sanitizers
        }
    }
    return sections;
}

std::string ExpectedRead(const std::string& value1252) {
    std::string_view v = TrimIniBlanks(value1252);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return Cp1252ToUtf8(v);
}

// The section after the write: the key's value replaced in place, or the key appended.
std::vector<std::string> ExpectedSection(const IniFile& ini, const std::string& section,
                                         const std::string& key, const std::string& readBack) {
    std::vector<std::string> lines = ini.ReadSectionValues(section);
    const std::vector<std::string> keys = ini.ReadSection(section);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (Folded(keys[i]) == Folded(key)) {
            lines[i] = keys[i] + "=" + readBack;
            return lines;
        }
    }
    lines.push_back(Cp1252ToUtf8(TrimIniBlanks(Utf8ToCp1252(key))) + "=" + readBack);
    return lines;
}

// Names are drawn from the file's own sections and keys half the time, so lines are
// replaced, added to a section and added as a new section, in any mix and with repeats.
TEST(IniFuzzTest, RandomFilesParseAndWritesReadBack) {
    Generator gen(20240611);
    for (int round = 0; round < 500; ++round) {
        MemoryFileSystem fs, one, each;
        const std::string file = gen.File();
        for (MemoryFileSystem* copy : {&fs, &one, &each}) {
            ASSERT_TRUE(copy->WriteAll("F.INI", file, false));
        }
        IniFile ini(fs, "F.INI");
        const auto before = Snapshot(ini);

        const std::string section = Cp1252ToUtf8(gen.ValidName());
        const std::string key = gen.PickName(ini.ReadSection(section));
        const std::string value = gen.Value();
        const std::vector<std::string> expectedSection =
            ExpectedSection(ini, section, key, ExpectedRead(value));
        ASSERT_TRUE(ini.WriteString(section, key, Cp1252ToUtf8(value))) << round;

        IniFile fresh(fs, "F.INI");
        ASSERT_EQ(fresh.ReadString(section, key, "<none>"), ExpectedRead(value)) << round;
        ASSERT_EQ(fresh.ReadSectionValues(section), expectedSection) << round;
        auto after = Snapshot(fresh);
        const std::string folded = Folded(section);
        after.erase(folded);
        auto expected = before;
        expected.erase(folded);
        ASSERT_EQ(after, expected) << round;

        if (round % 2 == 0) {
            ASSERT_TRUE(fresh.DeleteKey(section, key));
            IniFile deleted(fs, "F.INI");
            ASSERT_FALSE(deleted.ValueExists(section, key)) << round;
            auto remaining = expectedSection;
            std::erase_if(remaining, [&](const std::string& line) {
                return Folded(line.substr(0, line.find('='))) == Folded(key);
            });
            ASSERT_EQ(deleted.ReadSectionValues(section), remaining) << round;
        } else {
            ASSERT_TRUE(fresh.EraseSection(section));
            auto erased = Snapshot(IniFile(fs, "F.INI"));
            ASSERT_EQ(erased, expected) << round;
        }

        // Many values in one write give the bytes of one write each. At least one: an empty
        // batch still rewrites a file read as UTF-8 in Windows-1252.
        IniFile batch(one, "F.INI"), single(each, "F.INI");
        std::vector<IniDocument::Value> values;
        for (int n = 1 + gen.Below(7); n > 0; --n) {
            const std::string s = gen.PickName(single.ReadSections());
            values.push_back({s, gen.PickName(single.ReadSection(s)), Cp1252ToUtf8(gen.Value())});
        }
        for (const IniDocument::Value& v : values) {
            ASSERT_TRUE(single.WriteString(v.section, v.key, v.value)) << round;
        }
        ASSERT_TRUE(batch.WriteStrings(values)) << round;
        ASSERT_EQ(one.ReadAll("F.INI").value(), each.ReadAll("F.INI").value()) << round;
    }
}

}  // namespace
}  // namespace tarvedde
