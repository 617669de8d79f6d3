// Real directories for the scenario and end-to-end tests: the programs work on disk, as
// their users do.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "engine/persistence/state_records.h"
#include "platform/memory_file_system.h"
#include "platform/process_paths.h"
#include "platform/rtf_text.h"
#include "platform/text_encoding.h"

namespace tarvedde::testing {

// A last line without CR LF is marked, so a cut-off row shows.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start) + "<no CR LF>");
    }
    return lines;
}

// The saved day of TARVEDDE.COF, per item: count, sum, minimum, maximum.
inline std::vector<std::vector<double>> SavedDayFigures(const std::string& cofBytes) {
    BinaryReader in(cofBytes);
    std::vector<std::vector<double>> figures;
    while (const auto record = DecodeConfigRecord(in)) {
        figures.push_back({record->count, record->sum, record->minimum, record->maximum});
    }
    return figures;
}

// The paragraphs of an RTF protocol as plain text.
inline std::vector<std::string> ProtocolTexts(const std::string& rtf) {
    RichTextModel protocol;
    ReadRtf(rtf, 10, protocol);
    std::vector<std::string> texts;
    for (const RichParagraph& paragraph : protocol.Paragraphs()) {
        texts.push_back(paragraph.text);
    }
    return texts;
}

// A program directory in memory, /plant/, for the scenarios that need no real disk.
struct MemoryPlant {
    // The INI is written as given: the constants carry their CR LF.
    explicit MemoryPlant(const std::string& ini = {}) {
        if (!ini.empty()) {
            Write("TARVEDDE.INI", ini);
        }
    }
    void Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(files.WriteAll("/plant/" + name, bytes, false).ok()) << name;
    }
    ScenarioOptions Options() { return ScenarioOptions{"/plant/", &files}; }
    // The file's bytes, or "<missing>".
    std::string Bytes(const std::string& name) const {
        return files.ReadAll("/plant/" + name).value_or("<missing>");
    }
    std::string Text(const std::string& name) const { return Cp1252ToUtf8(Bytes(name)); }
    std::vector<std::string> Lines(const std::string& name) const { return CrLfLines(Text(name)); }
    std::vector<std::string> Protocol(const std::string& name) const {
        return ProtocolTexts(Bytes(name));
    }

    MemoryFileSystem files;
};

// A fresh directory, removed with its contents at the end. Path() ends with '/'.
class TempDir {
public:
    TempDir() {
        const auto made = MakeTemporaryDirectory("tarvedde-scenario-test-");
        path_ = made ? made.value() + "/" : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }

    // Writes the text as the Windows programs do: Windows-1252 with CR LF.
    void WriteText(const std::string& name, const std::string& utf8Lines) const {
        std::string text;
        for (char c : utf8Lines) {
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        std::ofstream(path_ + name, std::ios::binary) << Utf8ToCp1252(text);
    }

    // The file's bytes, or "<missing>".
    std::string Bytes(const std::string& name) const {
        std::ifstream in(path_ + name, std::ios::binary);
        if (!in) {
            return "<missing>";
        }
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    bool Exists(const std::string& name) const { return std::filesystem::exists(path_ + name); }

    // Lines in UTF-8 of a CR LF file.
    std::vector<std::string> Lines(const std::string& name) const {
        return CrLfLines(Cp1252ToUtf8(Bytes(name)));
    }

    // Every file by name with its bytes.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            const std::string name = entry.path().filename().string();
            files[name] = Bytes(name);
        }
        return files;
    }

    void Clear() const {
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            std::filesystem::remove_all(entry.path());
        }
    }

private:
    std::string path_;
};

// The script's commands one by one on a runner that goes on; a refusal fails the test.
inline void Steps(ScenarioRunner& runner, const std::string& script) {
    const auto parsed = ParseScenarioScript(script);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    for (const ScenarioCommand& command : parsed.value()) {
        const Status status = runner.Execute(command);
        ASSERT_TRUE(status.ok()) << "line " << command.line << ": " << status.error().message;
    }
}

// A program directory for one runner at a time.
class ScenarioFixture : public ::testing::Test {
protected:
    ScenarioOptions Options() const { return ScenarioOptions{dir_.Path()}; }
    // One command; a refusal fails the test.
    static void Execute(ScenarioRunner& runner, ScenarioAction action) {
        const Status status = runner.Execute(ScenarioCommand{0, "", std::move(action)});
        EXPECT_TRUE(status.ok()) << status.error().message;
    }

    TempDir dir_;
};

}  // namespace tarvedde::testing
