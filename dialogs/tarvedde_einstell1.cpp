#include "dialogs/tarvedde_einstell1.h"

#include <algorithm>

#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr char kUndefined[] = "undefiniert";
constexpr char kMidnight[] = "00:00:00";
// DDE names are string handles, which hold at most 255 characters.
constexpr std::size_t kMaxTextLength = 255;

// Empty when the text reads back from its file as written; otherwise why it would not.
std::string TextProblem(const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) {
        return "Zeilenumbruch";
    }
    if (!text.empty() && (text.front() == '[' || text.front() == '=')) {
        return "[ oder = am Anfang";
    }
    if (text.size() > kMaxTextLength) {
        return "mehr als 255 Zeichen";
    }
    return {};
}

void ReportWriteFailure(Operator& op, const std::string& path) {
    op.ShowMessage("Einstellungen konnten nicht in >" + path + "< gespeichert werden !");
}

}  // namespace

void TFo_Einstell1::FormShow() {
    main_.ReloadConfiguration();
    const GeneralSettings& settings = main_.Config().Settings();
    const IniFile ini(main_.GetHost().files, main_.Config().PathOf(kMainIniFile));
    spIntervall = std::max(settings.intervalCount, 1);
    coIntervall = settings.intervalUnit;
    // Whole minutes typed into the file in seconds: the field holds at most 59, and a save
    // would otherwise cut 60 s to 59 s and start the day's files anew.
    if (coIntervall == 0 && spIntervall % 60 == 0 && spIntervall / 60 <= 59) {
        spIntervall /= 60;
        coIntervall = 1;
    }
    spPuffer = settings.bufferSize;
    cb_var = settings.varIniScaling;
    spGleit = settings.movingBufferSize;
    spGleitIntervall = settings.movingIntervalMs / 1000;
    cbIni = settings.customDayChange;
    eTiniEnabled = cbIni;
    eTini = cbIni ? schema::Read(ini, schema::kCustomTime) : kMidnight;
    eService = settings.ddeService;
    eTopic = settings.ddeTopic;
    spItemsMaxValue = maxItems;
    // A count saved before the restart it asked for is not yet the running one.
    spItems = schema::Read(ini, schema::kItemcount);
    spItemsEnabled = settings.permanentMode;
    cbAutoStartEnabled = settings.permanentMode;
    M1 = settings.prefixCodes;
    M2 = settings.suffixCodes;
    cbAutoStart = settings.autoStart;
    cbRohSpeichern = settings.saveRawData;
    cbTarveView = settings.viewerOutput;
    cbTarveget = settings.diaryOutput;
    cbDruck = settings.printAtMidnight;
    shownBufferSize_ = settings.bufferSize;
    shownItemCount_ = spItems;
    shownAqasys_ = Aqasys();
    visible = true;
}

void TFo_Einstell1::cbIniClick() {
    eTiniEnabled = cbIni;
    if (!cbIni) {
        return;
    }
    const double current = main_.Config().Settings().customDayChangeTime;
    const Result<double> time = StrToTime(eTini, main_.RegionalSettings());
    main_.Config().SetCustomDayChange(time.ok(), time ? time.value() : current);
}

void TFo_Einstell1::cbDruckClick() {
    if (cbDruck && !PrinterChosen() && printerDialog_.ShowModal() < 0) {
        cbDruck = false;
    }
}

void TFo_Einstell1::BitBtn1Click() {
    if (printerDialog_.ShowModal() < 0) {
        cbDruck = false;
    }
}

bool TFo_Einstell1::PrinterChosen() {
    const IniFile ini(main_.GetHost().files, main_.Config().PathOf(kMainIniFile));
    return schema::Read(ini, schema::kDrucker) >= 0;
}

bool TFo_Einstell1::Aqasys() const {
    return main_.Config().Settings().sourceKind == SourceKind::Aqasys;
}

void TFo_Einstell1::btSpeichernClick() {
    if (!TextsFit() || !DayChangeTimeFits()) {
        return;
    }
    spPuffer = std::clamp(spPuffer, 1, 3600);
    spGleit = std::clamp(spGleit, 10, 360);
    spGleitIntervall = std::clamp(spGleitIntervall, 6, 300);
    spItems = std::clamp(spItems, 0, spItemsMaxValue);
    Host& host = main_.GetHost();
    ApplyDayChangeTime();
    if (RestartNeeded()) {
        main_.SuspendUntilRestart();
        host.op.ShowMessage("Sie müssen das Programm jetzt neu starten.");
    }
    ApplyInterval();
    main_.Config().SetBufferSize(spPuffer);
    main_.Config().SetMovingAverage(spGleit, spGleitIntervall * 1000);
    main_.DayFileOutput().SetDatEveryCycle(true);
    main_.DayFileOutput().SetTransferEveryCycle(true);
    IniFile ini(host.files, main_.Config().PathOf(kMainIniFile));
    const bool itemsWritten = AddNewItems(ini);
    if (!WriteKeys(ini) || !itemsWritten) {
        ReportWriteFailure(host.op, ini.path());
    }
    main_.Config().SetDdeNames(eService, eTopic);
    main_.Config().SetPrintAtMidnight(cbDruck);
    WriteDelimiterFile("prefix.txt", M1);
    WriteDelimiterFile("suffix.txt", M2);
    main_.HeaderSettingsChanged();
    visible = false;
}

// Prefix and suffix lines are character codes: any other line would silently become the
// code of "0", and every value of the plant would then read as -1.
bool TFo_Einstell1::TextsFit() {
    struct Field {
        const char* caption;
        std::vector<std::string> lines;
        bool codes;
    };
    const Field fields[] = {{"Service", {eService}, false},
                            {"Topic", {eTopic}, false},
                            {"Prefix", M1, true},
                            {"Suffix", M2, true}};
    for (const auto& [caption, lines, codes] : fields) {
        for (const std::string& line : lines) {
            std::string problem = TextProblem(line);
            if (problem.empty() && codes && !StrToInt(line)) {
                problem = "keine Zahl";
            }
            if (!problem.empty()) {
                main_.GetHost().op.ShowMessage(std::string("Unerlaubter Eintrag bei >") + caption +
                                               "< (" + problem + ") !");
                return false;
            }
        }
    }
    return true;
}

// A mistyped time would otherwise be saved as midnight while the running program kept the
// old one: the day boundary would move at the next start without a word.
bool TFo_Einstell1::DayChangeTimeFits() {
    if (!cbIni || StrToTime(eTini, main_.RegionalSettings())) {
        return true;
    }
    main_.GetHost().op.ShowMessage("Falsche Zeiteingabe !");
    return false;
}

void TFo_Einstell1::ApplyDayChangeTime() {
    Configuration& config = main_.Config();
    const double current = config.Settings().customDayChangeTime;
    if (!cbIni) {
        eTini = kMidnight;
        config.SetCustomDayChange(false, current);
        return;
    }
    const Result<double> time = StrToTime(eTini, main_.RegionalSettings());
    if (time) {
        config.SetCustomDayChange(true, time.value());
    }
}

bool TFo_Einstell1::RestartNeeded() const {
    return spPuffer != shownBufferSize_ || spItems != shownItemCount_ || Aqasys() != shownAqasys_;
}

// "Stunde(n)" runs every minute whatever the number, as the program always has.
void TFo_Einstell1::ApplyInterval() {
    spIntervall = std::clamp(spIntervall, 1, 59);
    const int unit = std::clamp(coIntervall, 0, 2);
    const int intervalMs = unit == 0 ? spIntervall * 1000 : unit == 1 ? spIntervall * 60000 : 60000;
    main_.ApplyCycleInterval(spIntervall, unit, intervalMs);
}

bool TFo_Einstell1::AddNewItems(IniFile& ini) {
    if (Aqasys() || shownAqasys_ || spItems == shownItemCount_) {
        return true;
    }
    bool written = true;
    bool added = false;
    for (int k = 1; k <= spItems; ++k) {
        if (schema::Read(ini, schema::kItems, k, kUndefined) != kUndefined &&
            schema::Read(ini, schema::kItemnames, k, kUndefined) != kUndefined) {
            continue;
        }
        written = written && schema::Write(ini, schema::kItems, k, kUndefined).ok() &&
                  schema::Write(ini, schema::kItemnames, k, kUndefined).ok();
        main_.Log().WriteLog("DDE-Item Nr." + std::to_string(k) + " neu hinzugefügt !");
        added = true;
    }
    if (added) {
        main_.GetHost().op.ShowMessage(
            "Bitte ändern Sie NACH dem Neustart noch \r\ndie Itemnamen im Fenster <DDE-Werte & "
            "Grafik> !");
    }
    return written;
}

// New keys are appended in this order, as the file has always had them.
bool TFo_Einstell1::WriteKeys(IniFile& ini) {
    using namespace schema;
    return Write(ini, kAutoStart, cbAutoStart).ok() && Write(ini, kCustomIni, cbIni).ok() &&
           Write(ini, kCustomTime, eTini).ok() && Write(ini, kIntervall, spIntervall).ok() &&
           Write(ini, kEinheit, coIntervall).ok() && Write(ini, kPuffer, spPuffer).ok() &&
           Write(ini, kGleitendPuffer, spGleit).ok() &&
           Write(ini, kGleitendIntervall, spGleitIntervall).ok() &&
           Write(ini, kVariniSkalierung, cb_var).ok() && Write(ini, kDdeServer, eService).ok() &&
           Write(ini, kRohdatenSpeichern, cbRohSpeichern).ok() &&
           Write(ini, kTarveview, cbTarveView).ok() && Write(ini, kDrucken, cbDruck).ok() &&
           Write(ini, kTarveget, cbTarveget).ok() && Write(ini, kDdeTopic, eTopic).ok() &&
           Write(ini, kItemcount, spItems).ok();
}

void TFo_Einstell1::WriteDelimiterFile(const char* name, const std::vector<std::string>& lines) {
    const std::string path = main_.Config().PathOf(name);
    if (!WriteLines(main_.GetHost().files, path, lines, false).ok()) {
        ReportWriteFailure(main_.GetHost().op, path);
    }
}

}  // namespace tarvedde
