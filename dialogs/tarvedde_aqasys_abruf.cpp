#include "dialogs/tarvedde_aqasys_abruf.h"

#include <optional>
#include <vector>

#include "outputs/datalog_container.h"
#include "platform/date_time.h"

namespace tarvedde {
namespace {

constexpr char kDamagedContainer[] = "DATALOG.DLG ist fehlerhaft !";

std::optional<std::size_t> FirstUnread(const std::vector<DatalogRecord>& records) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].read) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

TFo_AqasysAbruf::TFo_AqasysAbruf(AqasysRetrieval& retrieval, const Configuration& config,
                                 Host& host, ProgramLog& log, const Locale& locale)
    : retrieval_(retrieval), config_(config), host_(host), log_(log), locale_(locale) {}

void TFo_AqasysAbruf::FormShow() {
    dtVom = DateOf(host_.clock.Now());
    dtBis = dtVom;
    startsTransfer_ = false;
    visible = true;
}

void TFo_AqasysAbruf::Close(bool startTransfer) {
    startsTransfer_ = startTransfer;
    visible = false;
}

void TFo_AqasysAbruf::btAbbrechenClick() {
    Close(false);
}

bool TFo_AqasysAbruf::PrepareContainer(bool read, bool& created) {
    const int year = DecodeDate(dtVom).year;
    if (year != DecodeDate(dtBis).year) {
        host_.op.ShowMessage("Sie können nur Werte aus einem Jahr abrufen !");
        retrieval_.SetContainerYearOverride("");
        return false;
    }
    retrieval_.SetContainerYearOverride(std::to_string(year));
    DatalogContainer container(host_.files, config_.ProgramDir(), year);
    created = !container.Exists();
    if (!created) {
        return true;
    }
    log_.WriteLog(container.Name() + " in AQASYS-Abruf neu erzeugt.");
    host_.op.ShowMessage(container.Name() + " wird neu erzeugt....");
    if (!container.Create(read).ok()) {
        log_.WriteLog(kDamagedContainer);
        return false;
    }
    return true;
}

std::optional<std::vector<DatalogRecord>> TFo_AqasysAbruf::ReadContainer() {
    auto decoded =
        DatalogContainer(host_.files, config_.ProgramDir(), retrieval_.ContainerYear()).Read();
    if (!decoded.ok()) {
        log_.WriteLog(kDamagedContainer);
        return std::nullopt;
    }
    return std::move(decoded.value().records);
}

bool TFo_AqasysAbruf::WriteContainer(const std::vector<DatalogRecord>& records) {
    const bool written =
        DatalogContainer(host_.files, config_.ProgramDir(), retrieval_.ContainerYear())
            .Write(records)
            .ok();
    if (!written) {
        log_.WriteLog(kDamagedContainer);
    }
    return written;
}

void TFo_AqasysAbruf::btAbrufenClick() {
    bool created = false;
    if (!PrepareContainer(false, created)) {
        return;
    }
    if (created) {
        Close(true);
        return;
    }
    auto read = ReadContainer();
    if (!read) {
        return;
    }
    std::vector<DatalogRecord>& records = *read;
    if (const auto first = FirstUnread(records)) {
        const double day = records[*first].day;
        const std::string date = FormatDateTime("ddddd", day, locale_);
        log_.WriteLog("AQASYS-Abruf: Ungelesene AQASYS-Daten ab: " + date);
        if (DateOf(dtVom) > DateOf(day)) {
            host_.op.ShowMessage("Markierung für ungelesene AQASYS-Daten schon ab: " + date);
            if (host_.op.Ask("Markierung neu setzen ?", QuestionButtons::YesNo) == Answer::Yes) {
                host_.op.ShowMessage("Markieren Sie den Zeitraum neu mit \"Überprüfen/Markieren\"");
                return;
            }
        }
    }
    for (DatalogRecord& record : records) {
        if (DateOf(record.day) >= DateOf(dtVom) && DateOf(record.day) <= DateOf(dtBis)) {
            record.read = false;
        }
    }
    if (WriteContainer(records)) {
        Close(true);
    }
}

void TFo_AqasysAbruf::btMarkierenClick() {
    bool created = false;
    if (!PrepareContainer(true, created)) {
        return;
    }
    auto read = ReadContainer();
    if (!read) {
        return;
    }
    std::vector<DatalogRecord>& records = *read;
    if (const auto first = FirstUnread(records)) {
        const std::string text =
            "Ungelesene AQASYS-Daten ab: " + FormatDateTime("ddddd", records[*first].day, locale_);
        log_.WriteLog(text);
        host_.op.ShowMessage(text);
    }
    for (DatalogRecord& record : records) {
        const double day = DateOf(record.day);
        if (day >= DateOf(dtVom) && day <= DateOf(dtBis)) {
            record.read = false;
        } else if (cbGelesen) {
            record.read = true;
        }
    }
    WriteContainer(records);
}

}  // namespace tarvedde
