#include "dialogs/tarvedde_statistik.h"

#include <algorithm>

#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "engine/statistics/day_protocol.h"
#include "outputs/day_file_names.h"
#include "platform/ini_file.h"
#include "platform/path_names.h"
#include "platform/rtf_text.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {

namespace {

// "05.03.2024": how the window names a day for the operator.
std::string DottedDate(double day) {
    const DateTexts texts = DayDateTexts(DecodeDate(day));
    return texts.day + "." + texts.month + "." + texts.year;
}

bool IsTextFileName(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return extension == ".TXT";
}

}  // namespace

const std::vector<TFo_Statistik::Action>& TFo_Statistik::Actions() {
    static const std::vector<Action> actions = {
        {"spDrucken", "Drucken", false, &TFo_Statistik::spDruckenClick},
        {"spSichern", "Speichern", false, &TFo_Statistik::spSichernClick},
        {"SpeedButton1", "Drucken und Löschen", false, &TFo_Statistik::SpeedButton1Click},
        {"SpeedButton2", "Reihenfolge", false, &TFo_Statistik::SpeedButton2Click},
        {"spLaden", "Protokolldatei öffnen", true, &TFo_Statistik::spLadenClick},
        {"Memo1Druck", "Drucken", true, &TFo_Statistik::Memo1DruckClick},
        {"Memo1Save", "Speichern", true, &TFo_Statistik::Memo1SaveClick},
        {"SpeedButton3", "Suche Protokoll im Sicherungsverzeichnis", true,
         &TFo_Statistik::SpeedButton3Click},
        {"Button1", "Gestern", true, &TFo_Statistik::Button1Click},
    };
    return actions;
}

// Before the start sequence has set the running day, the clock's day stands in for it.
double TFo_Statistik::RunningDay() const {
    const DateParts& day = runningDay_;
    if (IsValidDate(day.year, day.month, day.day)) {
        return EncodeDate(day.year, day.month, day.day);
    }
    return DateOf(host_.clock.Now());
}

// While the postponed day change is pending the window still holds the ended day's
// protocol, which the program saves under that day's name.
double TFo_Statistik::WindowDay() const {
    return config_.Settings().customNewDay ? RunningDay() - 1.0 : RunningDay();
}

RichTextModel TFo_Statistik::Memo1Text() const {
    RichTextModel text;
    for (const std::string& line : memo1_.Lines()) {
        text.Append(line);
    }
    return text;
}

void TFo_Statistik::FormShow() {
    visible = true;
    SpinEdit1 = std::clamp(config_.Settings().reportFontSize, kMinFontSize, kMaxFontSize);
}

void TFo_Statistik::spDruckenClick() {
    (void)platform_.printer.Print(memo2_, DottedDate(WindowDay()) + ".RTF", SpinEdit1, true);
}

void TFo_Statistik::spSichernClick() {
    (void)SaveStatisticsWindow(memo2_, WindowDay(),
                               {host_.files, log_, config_.ProgramDir(), SpinEdit1});
}

// The last protocol file is the one the day change saved: the day before the window's day
// (two days back while the postponed change is pending). Cleared only once printed: the
// window's next save writes the window day's file.
void TFo_Statistik::SpeedButton1Click() {
    if (platform_.printer.Print(memo2_, DayProtocolName(WindowDay() - 1.0), SpinEdit1, false)) {
        memo2_.Clear();
    } else {
        log_.WriteLog("Statistik nicht gedruckt und nicht gelöscht.");
    }
}

void TFo_Statistik::SpeedButton2Click() {
    platform_.orderDialog.Show();
}

void TFo_Statistik::SpinEdit1Change() {
    SpinEdit1 = std::clamp(SpinEdit1, kMinFontSize, kMaxFontSize);
    config_.SetReportFontSize(SpinEdit1);
}

void TFo_Statistik::spLadenClick() {
    OpenIntoMemo1(config_.ProgramDir());
}

void TFo_Statistik::SpeedButton3Click() {
    const std::string backup =
        schema::Read(IniFile(host_.files, config_.PathOf(kMainIniFile)), schema::kSicherung);
    OpenIntoMemo1(backup.empty() ? config_.ProgramDir() : WithTrailingSeparator(backup));
}

void TFo_Statistik::OpenIntoMemo1(const std::string& directory) {
    static const std::vector<FileFilter> filters = {{"Protokoll-Dateien", "*.RTF"},
                                                    {"Einfacher Text", "*.TXT"}};
    const std::string path = platform_.fileDialog.Open(directory, filters);
    if (!path.empty() && LoadIntoMemo1(path)) {
        Panel1 = FileNameOf(path);
    }
}

bool TFo_Statistik::LoadIntoMemo1(const std::string& path) {
    const auto bytes = host_.files.ReadAll(path);
    if (!bytes) {
        return false;
    }
    RichTextModel text;
    ReadRtf(bytes.value(), SpinEdit1, text);
    std::string joined;
    for (const RichParagraph& paragraph : text.Paragraphs()) {
        joined += paragraph.text;
        joined += "\r\n";
    }
    // Memo1 also holds the DDE-Info lines still to be written: replaced, they were lost, and
    // the file shown went to DDE-Info.TXT in their place.
    if (!log_.ShowInStatisticsInfo(joined)) {
        host_.op.ShowMessage("DDE-Info.TXT kann nicht geschrieben werden: " + FileNameOf(path) +
                             " wird nicht angezeigt.");
        return false;
    }
    return true;
}

void TFo_Statistik::Memo1DruckClick() {
    (void)platform_.printer.Print(Memo1Text(), Panel1, SpinEdit1, true);
}

// A name ending in .TXT gets plain lines, so a text file loaded and saved stays one.
void TFo_Statistik::Memo1SaveClick() {
    const std::string name = Panel1.empty() ? "_NeuesMemo.RTF" : Panel1;
    const std::string path = config_.PathOf(name);
    if (IsTextFileName(name)) {
        (void)WriteLines(host_.files, path, memo1_.Lines(), false);
        return;
    }
    (void)WriteFileAtomic(host_.files, path, WriteRtf(Memo1Text(), SpinEdit1), false);
}

// While the postponed change is pending, yesterday's protocol is the window's own.
void TFo_Statistik::Button1Click() {
    const double yesterday = WindowDay() - 1.0;
    const std::string path = config_.PathOf(DayProtocolName(yesterday));
    if (host_.files.Exists(path) && LoadIntoMemo1(path)) {
        Panel1 = DottedDate(yesterday);
    }
}

}  // namespace tarvedde
