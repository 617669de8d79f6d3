// Program start: main window creation with the single-instance guard, and the start-up
// sequence of the first showing. Most decisions here serve one goal: a restart in the
// middle of a day must not lose the day's statistics, and two clients must never work
// in the same directory unnoticed.
#include <algorithm>

#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/statistics/day_protocol.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "platform/number_format.h"
#include "platform/text_file.h"

namespace tarvedde {
namespace {

constexpr const char* kLockFiles[] = {"$lock_SMP", "$lock_TVV", "$lock_TVI", "$lock_DAT"};

std::string WithTrailingSeparator(std::string dir) {
    if (dir.empty()) {
        return "./";
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

}  // namespace

TarveddeMain::TarveddeMain(Host& host, StartOptions options, const Locale& locale)
    : host_(host),
      options_(std::move(options)),
      locale_(locale),
      log_(host.files, host.clock, locale) {
    timeFrames_.target = &timeFrameStatistics_;
    dde_.TellServerDisconnects(this);
    timerDDE_ = host_.loop.CreateTimer("TimerDDE", config_.Settings().cycleIntervalMs,
                                       [this] { TimerDDETimer(); });
    timerAuto_ = host_.loop.CreateTimer("TimerAuto", 1000, [this] { TimerAutoTimer(); });
    // A server acknowledges a hot link before it sends the link's first value; a cycle at
    // once would write the values from before the outage as this moment's.
    timerFirstValues_ =
        host_.loop.CreateTimer("TimerFirstValues", 100, [this] { FirstValuesTimer(); });
    timerTot_ = host_.loop.CreateTimer("Timer_tot", 10000, [this] { Timer_totTimer(); });
    timerAqasys1_ = host_.loop.CreateTimer("TimerAQASYS_1", 500, [this] { TransferTick(); });
    timerGleitM_ = host_.loop.CreateTimer("TimerGleitM", 60000, [this] { TimerGleitMTimer(); });
    timerOpcTot_ = host_.loop.CreateTimer("Timer_OPC_tot", 1000, [this] { OpcWatchdogTick(); });
    store_.JoinWindowBuffers(fifteenMinuteValues_.BuffersToStore(),
                             movingAverages_.BuffersToStore());
}

TarveddeMain::~TarveddeMain() = default;

StatisticsState TarveddeMain::StatisticsStateOf() {
    ProcessedValues& values = processor_.ValuesForDayChange();
    return {values.statistics,
            integrator_.StatesForDayChange(),
            fifteenMinuteValues_.StatesForDayChange(),
            movingAverages_.StatesForDayChange(),
            values.mirrorSumOffsets,
            store_.NightSumsForDayChange()};
}

StatisticsOutputs TarveddeMain::StatisticsOutputsOf() {
    return {memo2_, log_, extraneousWater_, dayFiles_.Files(), host_.files, host_.clock, locale_};
}

double TarveddeMain::StatisticsHost::RunningDay() const {
    const DateParts& day = main_.runningDay_;
    return EncodeDate(day.year, day.month, day.day);
}

double TarveddeMain::StatisticsHost::StatisticsDay() const {
    const bool pending = main_.config_.Settings().customNewDay || main_.postponedDay_ > 0.0;
    return pending ? main_.PendingDay() : RunningDay();
}

// Titled with the name of the protocol's file.
void TarveddeMain::StatisticsHost::PrintStatistics(double tickTime) {
    const std::string title = DayProtocolName(DateOf(tickTime) - 1.0);
    if (!main_.printDayProtocol_) {
        main_.log_.WriteLog("Kein Drucker : " + title + " wurde nicht gedruckt.");
        return;
    }
    if (!main_.printDayProtocol_(main_.memo2_, title, main_.config_.Settings().reportFontSize)) {
        main_.log_.WriteLog("Fehler beim Drucken von " + title + " !");
    }
}

bool TarveddeMain::FormCreate() {
    config_.BeginProgramStart(options_.sourceKind);
    startAborted_ = false;

    config_.SetProgramDir(WithTrailingSeparator(options_.programDir));
    log_.SetProgramDir(config_.ProgramDir());
    window_.lb_StartDir = config_.ProgramDir();
    log_.WriteLog("Programmstart in " + config_.ProgramDir());

    permanentAtCreation_ = config_.ReadStartSettings();
    if (!RunInstanceGuard()) {
        return false;
    }
    DeleteStaleLockFiles();
    timerTot_->SetEnabled(true);
    cycle_.cycleTime = host_.clock.Now();
    runningDay_ = DecodeDate(cycle_.cycleTime);
    newDayFileCreated_ = false;
    if (config_.Settings().sourceKind == SourceKind::Aqasys) {
        permanentAtCreation_ = false;
        config_.SwitchToRetrievalMode();
        window_.menuEnabled["Initialisierung1"] = false;
    }
    window_.Changed();
    CreateLiveDataWindow();
    return true;
}

bool TarveddeMain::AskAbortStart(const std::string& message) {
    host_.op.ShowMessage(message);
    if (host_.op.Ask("Programmstart abbrechen ?", QuestionButtons::YesNo) == Answer::Yes) {
        startAborted_ = true;
        host_.shell.TerminateProcess(0);
        return true;
    }
    return false;
}

bool TarveddeMain::RunInstanceGuard() {
    const std::string& dir = config_.ProgramDir();
    const std::string appName = config_.Settings().sourceKind == SourceKind::Opc
                                    ? "Tarvewater_OPC_CLient"
                                    : "Tarvewater_DDE_CLient";
    std::string lockName = options_.lockName;
    std::transform(lockName.begin(), lockName.end(), lockName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    log_.WriteLog("Mutex = " + lockName);
    instanceLock_ = host_.locks.Acquire(lockName);
    if (!instanceLock_->ErrorMessage().empty()) {
        log_.WriteLog(instanceLock_->ErrorMessage());
    }
    // The named lock lives where the environment says (runtime or temporary directory),
    // so a client started from a service or cron may not see it; this one it sees.
    directoryLock_ = host_.locks.HoldExclusive(config_.PathOf(kClientLockFile));
    if (!directoryLock_->ErrorMessage().empty()) {
        log_.WriteLog(directoryLock_->ErrorMessage());
    }
    const bool mutexExists = instanceLock_->ExistedAlready();
    const bool markerExists = host_.files.Exists(config_.PathOf(kActiveMarkerFile));

    if (mutexExists && markerExists) {
        startAborted_ = true;
        log_.WriteLog("Mutex und $dde_activ in " + dir + " schon vorhanden. Start abgebrochen !");
        host_.shell.TerminateProcess(0);
        return false;
    }
    // Two clients in one directory double every data row and spoil the state files; no
    // answer and no automatic start may allow that.
    if (directoryLock_->ExistedAlready()) {
        startAborted_ = true;
        log_.WriteLog("Ein Client läuft bereits in " + dir + " (" + kClientLockFile +
                      " gesperrt). Start abgebrochen !");
        host_.shell.TerminateProcess(0);
        return false;
    }
    const bool autoStart = config_.Settings().autoStart;
    if (mutexExists) {
        if (autoStart) {
            log_.WriteLog("Mutex schon vorhanden. Autostart in " + dir +
                          " trotzdem durchgeführt !");
            return true;
        }
        if (AskAbortStart("Die Anwendung " + appName + " läuft bereits auf dem PC !")) {
            return false;
        }
        log_.WriteLog("Mutex schon vorhanden. Trotzdem startet der Anwender in " + dir +
                      " den Client !");
        return true;
    }
    if (markerExists) {
        if (autoStart) {
            log_.WriteLog("$dde_activ in " + dir +
                          " noch vorhanden. Autostart trotzdem durchgeführt !");
            return true;
        }
        if (AskAbortStart("Ein " + appName + " scheint bereits im\r\n Verzeichnis " + dir +
                          " aktiv zu sein !")) {
            return false;
        }
        log_.WriteLog("$dde_activ in " + dir +
                      " schon vorhanden. Trotzdem startet der Anwender den Client !");
    }
    return true;
}

void TarveddeMain::DeleteStaleLockFiles() {
    for (const char* name : kLockFiles) {
        DeleteIfExists(host_.files, config_.PathOf(name));
    }
}

}  // namespace tarvedde
