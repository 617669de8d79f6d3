// The diary binding's load and its values table; see diary_interface.h.
#include "engine/diary/diary_interface.h"

#include <algorithm>

#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr char kDamagedBindingFile[] =
    "Die Bindungsdatei ist fehlerhaft ! Sie müssen\r\ndie Tagebuch-Schnittstelle neu "
    "konfigurieren !";
constexpr char kOnlineReadError[] = "Fehler(1) beim Lesen der ONLINE.TVW !";

}  // namespace

DiaryInterface::DiaryInterface(FileSystem& files, Operator& op, ProgramLog& log)
    : files_(files), op_(op), log_(log) {
    ClearValues();
}

void DiaryInterface::LoadDiaryBinding(const DiaryLoadSettings& settings) {
    bindingPath_.clear();
    bindings_.clear();
    positionNames_.clear();
    // Without the positions no binding is loaded, and none may be written over the file's.
    if (!ReadOnlineList(settings)) {
        return;
    }
    bindingPath_ =
        settings.programDir + (settings.permanentMode ? kPermanentBindingFile : kAqasysBindingFile);
    if (!files_.Exists(bindingPath_)) {
        (void)RewriteBindingFile();
        return;
    }
    std::vector<DiaryBinding> stored;
    if (!ReadStoredBindings(stored)) {
        return;
    }
    if (settings.permanentMode) {
        MergePermanent(stored, settings.nullStart);
    } else {
        MergeAqasys(stored, settings.nullStart);
    }
}

bool DiaryInterface::ReadOnlineList(const DiaryLoadSettings& settings) {
    const std::string path = settings.programDir + kOnlineListFile;
    if (!files_.Exists(path)) {
        if (settings.transferOn) {
            log_.WriteLog("ONLINE.TVW fehlt ! Bitte TARVEGET starten.");
            op_.ShowMessage(
                "Beenden Sie das Programm und starten Sie erst TARVEGET\r\ndamit die Datei > "
                "ONLINE.TVW < erzeugt wird. Sonst werden\r\nkeine Online-Werte an TARVEGET "
                "übergeben !");
        }
        return false;
    }
    const Result<std::uint64_t> size = files_.Size(path);
    const auto lines = size.ok() && size.value() <= kMaxDiaryFileBytes
                           ? ReadLines(files_, path)
                           : Result<std::vector<std::string>>(Error{"zu groß"});
    if (!lines.ok()) {
        op_.ShowMessage(kOnlineReadError);
        return false;
    }
    const OnlineList list = ParseOnlineList(lines.value());
    if (!settings.permanentMode) {
        bindings_.resize(kDiaryValueCount);
    }
    for (const OnlinePosition& position : list.positions) {
        TakeOnlinePosition(position, settings.permanentMode);
    }
    if (list.tooManyPairs) {
        op_.ShowMessage(kOnlineReadError);
    }
    return true;
}

void DiaryInterface::TakeOnlinePosition(const OnlinePosition& position, bool permanentMode) {
    const std::string name = CutDiaryName(position.name);
    positionNames_.push_back(name);
    const bool valid = ValidDiaryIndex(position.index);
    if (!permanentMode) {
        if (!valid) {
            op_.ShowMessage("Ungültiger Index (" + position.indexText + ") in ONLINE.TVW !");
            return;
        }
        DiaryBinding& record = bindings_[static_cast<std::size_t>(position.index - 1)];
        record.name = name;
        record.diaryIndex = position.index;
        return;
    }
    if (!valid) {
        op_.ShowMessage("Ungültiger Index in ONLINE.TVW !");
    }
    DiaryBinding record;
    record.name = name;
    record.diaryIndex = valid ? position.index : 0;
    bindings_.push_back(std::move(record));
}

bool DiaryInterface::ReadStoredBindings(std::vector<DiaryBinding>& stored) {
    const Result<std::uint64_t> size = files_.Size(bindingPath_);
    const Result<std::string> bytes = size.ok() && size.value() <= kMaxDiaryFileBytes
                                          ? files_.ReadAll(bindingPath_)
                                          : Result<std::string>(Error{"zu groß"});
    if (!bytes.ok()) {
        op_.ShowMessage(kDamagedBindingFile);
        return false;
    }
    DecodedBindings decoded = DecodeBindingFile(bytes.value());
    if (decoded.legacyLayout) {
        log_.WriteLog("Tagebuch-Schnittstelle wird konvertiert....");
        if (!decoded.complete) {
            op_.ShowMessage(kDamagedBindingFile);
            return false;
        }
        (void)WriteFileAtomic(files_, bindingPath_, EncodeBindingFile(decoded.records), true);
        log_.WriteLog("ok.");
    }
    stored = std::move(decoded.records);
    return true;
}

void DiaryInterface::ShowNewPositions(bool nullStart) {
    if (!nullStart) {
        op_.ShowMessage(
            "Neue Tagebuch-Parameter gefunden. Sie müssen\r\ndie Tagebuch-Schnittstelle neu "
            "konfigurieren !");
    }
}

void DiaryInterface::MergePermanent(const std::vector<DiaryBinding>& stored, bool nullStart) {
    bool rewrite = stored.size() < bindings_.size();
    for (DiaryBinding& record : bindings_) {
        const auto found =
            std::find_if(stored.begin(), stored.end(), [&](const DiaryBinding& candidate) {
                return candidate.diaryIndex == record.diaryIndex;
            });
        if (found == stored.end()) {
            rewrite = true;
        } else {
            record = *found;
        }
    }
    if (rewrite) {
        ShowNewPositions(nullStart);
        (void)RewriteBindingFile();
    }
}

void DiaryInterface::MergeAqasys(const std::vector<DiaryBinding>& stored, bool nullStart) {
    bool rewrite = false;
    if (stored.size() < bindings_.size()) {
        op_.ShowMessage(
            "Die Bindungsdatei ist zu klein ! Sie müssen\r\ndie Tagebuch-Schnittstelle neu "
            "konfigurieren !");
        rewrite = true;
    }
    bool newPositions = false;
    for (int n = 1; n <= kDiaryValueCount; ++n) {
        DiaryBinding& record = bindings_[static_cast<std::size_t>(n - 1)];
        const bool listed = record.diaryIndex == n;
        const DiaryBinding* old = static_cast<std::size_t>(n) <= stored.size()
                                      ? &stored[static_cast<std::size_t>(n - 1)]
                                      : nullptr;
        if (old == nullptr || (listed && old->diaryIndex == 0)) {
            newPositions = newPositions || listed;
            rewrite = rewrite || listed;
            continue;
        }
        // Kept, its value would go to an index TARVEGET no longer reads, and its name would
        // hide the position's new record from the binding dialog.
        if (!listed) {
            if (old->diaryIndex == n) {
                log_.WriteLog("Online-Parameter mit Index " + std::to_string(n) +
                              " wurde entfernt.");
            }
            continue;
        }
        if (old->diaryIndex != n) {
            op_.ShowMessage(
                "Achtung : Fehler in Bindungsdatei !\r\nBenachrichtigen Sie Tarvewater Systems.");
            return;
        }
        if (old->name != record.name) {
            log_.WriteLog("Tagebuchindex " + std::to_string(n) + " : Name wurde von \"" +
                          old->name + "\" in \"" + record.name + "\" geändert.");
        }
        const std::string name = record.name;
        record = *old;
        record.name = name;
    }
    if (newPositions) {
        ShowNewPositions(nullStart);
    }
    if (rewrite) {
        (void)RewriteBindingFile();
    }
}

Status DiaryInterface::RewriteBindingFile() {
    if (bindingPath_.empty()) {
        return Error{"Keine Bindungsdatei geladen"};
    }
    return WriteFileAtomic(files_, bindingPath_, EncodeBindingFile(bindings_), true);
}

Status DiaryInterface::RenameBoundItem(const std::string& oldAddress, const std::string& address,
                                       const std::string& name) {
    if (bindingPath_.empty()) {
        return {};
    }
    for (DiaryBinding& binding : bindings_) {
        if (binding.itemAddress == oldAddress) {
            binding.itemAddress = address;
            binding.itemName = CutDiaryName(name);
        }
    }
    return RewriteBindingFile();
}

void DiaryInterface::ClearValues() {
    values_.fill(kDiaryMissingValue);
}

const std::string& DiaryInterface::Value(int diaryIndex) const {
    return values_[ValidDiaryIndex(diaryIndex) ? static_cast<std::size_t>(diaryIndex) : 0];
}

void DiaryInterface::SetValue(int diaryIndex, std::string text) {
    if (ValidDiaryIndex(diaryIndex)) {
        values_[static_cast<std::size_t>(diaryIndex)] = std::move(text);
    }
}

}  // namespace tarvedde
