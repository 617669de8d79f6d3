#include "engine/acquisition/aqasys_retrieval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "engine/config/settings_schema.h"
#include "engine/processing/per_value_processing.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr int kTransferRequestTimeoutMs = 1000;
// DdeGetData's buffer: what the logger sends beyond it is never read.
constexpr std::size_t kValueBytes = 201;
constexpr int kRequestFileIntervalMs = 2000;
constexpr char kValueMissing[] = "-999.0";
constexpr char kDayFileFailure[] = "Fehler beim Schreiben der Tagebuchdaten !";
constexpr char kDamagedContainer[] = "DATALOG.DLG ist fehlerhaft !";
// A logger that times out on a parameter day after day would hold every later day back.
constexpr int kDayAttempts = 3;
constexpr std::int64_t kDayFileRetryMs = 10'000;

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

// A failed request that says nothing about the parameter, only that no server answered.
bool ServerFailure(std::uint32_t error) {
    return error == kDmlErrNoConvEstablished || error == kDmlErrDataAckTimeout ||
           error == kDmlErrAdvAckTimeout || error == kDmlErrBusy || error == kDmlErrServerDied;
}

}  // namespace

AqasysRetrieval::AqasysRetrieval(Configuration& config, DiaryInterface& diary, DdeClient& dde,
                                 Host& host, ProgramLog& log, const Locale& locale,
                                 MainWindowModel& window, AqasysRetrievalHost& frame)
    : config_(config),
      diary_(diary),
      dde_(dde),
      host_(host),
      log_(log),
      locale_(locale),
      window_(window),
      frame_(frame) {
    timerAqasys2_ = host_.loop.CreateTimer("TimerAQASYS_2", kRequestFileIntervalMs,
                                           [this] { RequestFileTick(); });
}

double AqasysRetrieval::Today() const {
    return DateOf(host_.clock.Now());
}

void AqasysRetrieval::StartUp() {
    if (config_.Settings().firstRun) {
        double day = 0.0;
        (void)OpenDatalogContainer(day);
        host_.op.ShowMessage("Datenabruf-Container für Kestrom-AQASYS neu erzeugt.");
        IniFile ini(host_.files, config_.PathOf(kMainIniFile));
        if (!schema::Write(ini, schema::kFirstRun, false).ok()) {
            host_.op.ShowMessage("Fehler beim Schreiben der .INI-Datei !");
        }
        // Otherwise every later transfer would mark the whole year read again.
        config_.SetFirstRun(false);
    }
    timerAqasys2_->SetEnabled(true);
}

int AqasysRetrieval::ContainerYear() const {
    if (containerYearOverride_.empty()) {
        return transferYear_ > 0 ? transferYear_ : DecodeDate(host_.clock.Now()).year;
    }
    const int year = StrToIntDef(containerYearOverride_, 0);
    if (year >= 0 && year < 100) {
        return year < 70 ? 2000 + year : 1900 + year;
    }
    return year;
}

int AqasysRetrieval::OpenDatalogContainer(double& day) {
    const bool firstRun = config_.Settings().firstRun;
    DatalogContainer container(host_.files, config_.ProgramDir(), ContainerYear());
    if (!container.Exists() || firstRun) {
        WriteLog("Container > " + container.Name() + " < neu erzeugt.");
        if (!container.Create(firstRun).ok()) {
            WriteLog(kDamagedContainer);
            return kNothingToFetch;
        }
    }
    if (firstRun) {
        WriteLog("Datenabruf-Container für Kestrom-AQASYS neu erzeugt.");
        return kNothingToFetch;
    }
    const auto decoded = container.Read();
    if (!decoded.ok()) {
        WriteLog(kDamagedContainer);
        return kNothingToFetch;
    }
    const DecodedDatalog& records = decoded.value();
    const std::string told = container.Path() + "#" + std::to_string(records.records.size());
    if (!records.wellSized && damagedContainerTold_ != told) {
        WriteLog(kDamagedContainer);
    }
    damagedContainerTold_ = records.wellSized ? std::string() : told;
    for (std::size_t index = 0; index < records.records.size(); ++index) {
        const DatalogRecord& record = records.records[index];
        if (record.read) {
            continue;
        }
        // A day no calendar has would name no file and ask the logger for nothing.
        if (!std::isfinite(record.day) || DecodeDate(record.day).year == 0) {
            WriteLog(kDamagedContainer);
            return kNothingToFetch;
        }
        day = DateOf(record.day);
        dayFilePath_ = config_.PathOf(FormatDateTime("yyyymmdd", day, locale_) + ".TVI");
        if (day > Today()) {
            return kNothingToFetch;
        }
        return static_cast<int>(index);
    }
    return kNothingToFetch;
}

// The guard matters: the synchronous requests process messages, and a timer tick may
// arrive meanwhile.
void AqasysRetrieval::TransferTick() {
    if (transferBusy_ || (writeRetryMs_ && host_.clock.ElapsedMs() < *writeRetryMs_)) {
        return;
    }
    transferBusy_ = true;
    const int currentYear = DecodeDate(host_.clock.Now()).year;
    if (transferYear_ == 0 || transferYear_ > currentYear) {
        transferYear_ = currentYear;
    }
    double day = 0.0;
    const int index = OpenDatalogContainer(day);
    if (index < 366 && !AnyBinding()) {
        // Every value would go unbound: the day's file emptied and the day marked read.
        WriteLog("Keine Tagebuch-Bindung: AQASYS-Daten werden nicht abgerufen.");
        frame_.StopRetrieval();
    } else if (index < 366) {
        FetchDay(index, day);
    } else if (containerYearOverride_.empty() && transferYear_ < currentYear) {
        // The old year's days are done; the new year's follow with the next tick.
        transferYear_ = currentYear;
    } else {
        transferYear_ = 0;
        window_.pb1Position = 0;
        window_.Changed();
        containerYearOverride_.clear();
        frame_.StopRetrieval();
    }
    transferBusy_ = false;
}

bool AqasysRetrieval::AnyBinding() const {
    return std::any_of(diary_.Bindings().begin(), diary_.Bindings().end(),
                       [](const DiaryBinding& binding) { return binding.itemNumber > 0; });
}

std::string AqasysRetrieval::RequestText(const std::string& code, double day) {
    const DateParts date = DecodeDate(day);
    const bool hasSeparator = code.size() > 1 && code.find(';', 1) != std::string::npos;
    return code + (hasSeparator ? "" : ";") + TwoDigits(date.month) + "." + TwoDigits(date.year) +
           ";" + TwoDigits(date.day);
}

void AqasysRetrieval::FetchDay(int index, double day) {
    ++window_.pb1Position;
    const DateParts date = DecodeDate(day);
    window_.lbDT = std::to_string(date.day) + "." + std::to_string(date.month) + "." +
                   std::to_string(date.year);
    window_.Changed();
    dayFileText_.clear();
    serverFailed_ = false;
    try {
        const std::vector<std::string>& codes = config_.DialogLists().aqasysEditor.items;
        for (std::size_t n = 1; n <= codes.size() && !serverFailed_; ++n) {
            RequestAqasysValue(static_cast<int>(n), RequestText(codes[n - 1], day));
        }
        // A day fetched whole before keeps its file when the logger fails this time; the
        // file is replaced in one step, so a refused write leaves the old one too.
        if (serverFailed_ && host_.files.Exists(dayFilePath_)) {
            DayFailed(day);
            return;
        }
        if (!WriteFileAtomic(host_.files, dayFilePath_, Utf8ToCp1252(dayFileText_), false).ok()) {
            WriteLog(kDayFileFailure);
            // A file held or not writable for good would be asked for again every tick.
            writeRetryMs_ = host_.clock.ElapsedMs() + kDayFileRetryMs;
            DayFailed(day);
            return;
        }
        if (serverFailed_) {
            DayFailed(day);
            return;
        }
        failedAttempts_ = 0;
        DatalogContainer container(host_.files, config_.ProgramDir(), ContainerYear());
        MarkRead(container, index);
    } catch (const std::exception&) {
        WriteLog(kDayFileFailure);
    }
}

// The day stays unread; without a conversation no later day can do better.
void AqasysRetrieval::DayFailed(double day) {
    if (dde_.Conversation() == 0) {
        frame_.StopRetrieval();
        return;
    }
    failedAttempts_ = failedDay_ == day ? failedAttempts_ + 1 : 1;
    failedDay_ = day;
    if (failedAttempts_ < kDayAttempts) {
        return;
    }
    WriteLog("AQASYS-Abruf für " + FormatDateTime("dd.mm.yyyy", day, locale_) + " nach " +
             std::to_string(kDayAttempts) + " Versuchen abgebrochen, der Tag bleibt ungelesen.");
    frame_.StopRetrieval();
}

void AqasysRetrieval::MarkRead(DatalogContainer& container, int index) {
    auto decoded = container.Read();
    const auto at = static_cast<std::size_t>(index);
    if (!decoded.ok() || at >= decoded.value().records.size()) {
        WriteLog(kDamagedContainer);
        return;
    }
    std::vector<DatalogRecord>& records = decoded.value().records;
    window_.piDate1 = records[at].day;
    window_.Changed();
    records[at].read = true;
    if (!container.Write(records).ok()) {
        WriteLog(kDayFileFailure);
    }
}

void AqasysRetrieval::RequestAqasysValue(int n, std::string request) {
    if (!request.empty() && request.front() == 'i') {
        log_.WriteLogDetail("Test-Item gefunden : " + request);
        request = request.substr(0, request.find(';'));
    }
    const DdeRequestAnswer answer = dde_.RequestItem(request, kTransferRequestTimeoutMs);
    if (!answer.data) {
        WriteLog(request + " : Nicht definiert !");
        serverFailed_ = serverFailed_ || ServerFailure(answer.error);
        return;
    }
    std::string bytes = answer.data->substr(0, kValueBytes);
    bytes = bytes.substr(0, bytes.find('\0'));
    const GeneralSettings& settings = config_.Settings();
    std::string text =
        CleanValueText(Cp1252ToUtf8(bytes), settings.valuePrefix, settings.valueSuffix);
    if (settings.saveRawData) {
        log_.WriteRawData(text, ',');
        log_.FlushRawData();
    }
    log_.WriteLogDetail(request + "=>" + text);
    NormalizeNumberText(text);
    SaveItem(n, text);
}

void AqasysRetrieval::NormalizeNumberText(std::string& text) {
    if (text.empty()) {
        text = kValueMissing;
        return;
    }
    const std::string normalized = NormalizeDecimal(text, locale_);
    if (StrToFloat(normalized, locale_).ok()) {
        text = normalized;
        return;
    }
    WriteLog("Fehler im Zahlenstring : " + normalized);
    text = kValueMissing;
}

void AqasysRetrieval::SaveItem(int n, const std::string& text) {
    const std::vector<DiaryBinding>& bindings = diary_.Bindings();
    const std::size_t count = std::min<std::size_t>(bindings.size(), kDiaryValueCount);
    for (std::size_t k = 1; k <= count; ++k) {
        const DiaryBinding& binding = bindings[k - 1];
        if (binding.itemNumber != n) {
            continue;
        }
        const int m = binding.diaryIndex;
        diary_.SetValue(m, text);
        if (m != static_cast<int>(k)) {
            WriteLog("Fataler Fehler(1) in SaveItem !");
        }
        dayFileText_ += DiaryDataText({{m, text}});
        return;
    }
    WriteLog("DDE-Item (" + std::to_string(n) + ") wurde keinem Tagebuchwert zugeordnet !");
}

void AqasysRetrieval::RequestFileTick() {
    const std::string path = config_.PathOf(kAqasysRequestFile);
    if (!host_.files.Exists(path)) {
        return;
    }
    const double now = host_.clock.Now();
    const int year = DecodeDate(now).year;
    const auto lines = ReadLines(host_.files, path);
    const auto date = lines.ok() && !lines.value().empty()
                          ? StrToDate(lines.value().front(), year, locale_)
                          : Result<double>(Error{"no first line"});
    // The watch goes on: a file read while another program was still writing it, or
    // replaced by a good one, must not end automatic retrieval until the next start. A
    // bad file is told once, until it changes.
    if (!date.ok()) {
        const auto stamp = host_.files.Stamp(path);
        if (!stamp.ok() || stamp.value() != badRequestStamp_) {
            WriteLog("Fehlerhaftes Datum in $AQASYS_HOLEN !");
            badRequestStamp_ = stamp.ok() ? stamp.value() : FileStamp{};
        }
        return;
    }
    if (DateOf(date.value()) > DateOf(now)) {
        return;
    }
    (void)host_.files.Remove(path);
    if (DecodeDate(date.value()).year != year) {
        WriteLog("Automatischer AQASYS-Datenabruf nur für das AKTUELLE Jahr möglich !");
        return;
    }
    window_.piDate1 = date.value();
    piDate1CloseUp(date.value());
    WriteLog("Automatischer AQASYS-Datenabruf angefordert.");
    frame_.StartRetrieval();
}

void AqasysRetrieval::piDate1CloseUp(double chosen) {
    const double now = host_.clock.Now();
    const int year = DecodeDate(now).year;
    if (DecodeDate(chosen).year != year) {
        host_.op.ShowMessage(
            "Sie können hier nur den Datenabruf für das AKTUELLE Jahr einstellen !\r\n    "
            "Wählen Sie den Menüpunkt <Daten> <AQASYS-Daten neu abrufen>.");
        window_.piDate1 = now;
        window_.Changed();
        return;
    }
    DatalogContainer container(host_.files, config_.ProgramDir(), year);
    if (!container.Exists()) {
        WriteLog(container.Name() + " in AQASYS-Abruf neu erzeugt.");
        // The current year's days: a program started in the old year would else fill the
        // new container with the old year's days and fetch them over their diary files.
        if (!container.Create(false).ok()) {
            WriteLog(kDamagedContainer);
        }
    } else {
        auto decoded = container.Read();
        if (!decoded.ok()) {
            WriteLog(kDamagedContainer);
        } else {
            for (DatalogRecord& record : decoded.value().records) {
                if (DateOf(record.day) >= DateOf(chosen) && record.day <= now) {
                    record.read = false;
                }
            }
            if (!container.Write(decoded.value().records).ok()) {
                WriteLog(kDamagedContainer);
            }
        }
    }
    window_.pb1Max = static_cast<int>(DateOf(now) - DateOf(chosen)) + 1;
    window_.Changed();
}

}  // namespace tarvedde
