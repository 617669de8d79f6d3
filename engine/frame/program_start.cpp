// Program start: main window creation with the single-instance guard, and the start-up
// sequence of the first showing. Most decisions here serve one goal: a restart in the
// middle of a day must not lose the day's statistics, and two clients must never work
// in the same directory unnoticed.
#include <algorithm>

#include "engine/config/configuration_loader.h"
#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
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
      log_(host.files, host.clock, locale),
      state_(host, log_, locale) {
    timerDDE_ = host_.loop.CreateTimer("TimerDDE", state_.settings.cycleIntervalMs,
                                       [this] { TimerDDETimer(); });
    timerAuto_ = host_.loop.CreateTimer("TimerAuto", 1000, [this] { TimerAutoTimer(); });
    timerTot_ = host_.loop.CreateTimer("Timer_tot", 10000, [this] { Timer_totTimer(); });
    timerAqasys1_ = host_.loop.CreateTimer("TimerAQASYS_1", 500, [this] { TransferTick(); });
}

TarveddeMain::~TarveddeMain() = default;

bool TarveddeMain::FormCreate() {
    GeneralSettings& settings = state_.settings;
    settings.sourceKind = options_.sourceKind;
    settings.itemCount = std::min(settings.itemCount, maxItems);
    settings.customDayChange = false;
    settings.customNewDay = false;
    settings.firstRun = false;
    startAborted_ = false;
    state_.connectionLost = false;

    state_.programDir = WithTrailingSeparator(options_.programDir);
    log_.SetProgramDir(state_.programDir);
    state_.window.lb_StartDir = state_.programDir;
    log_.WriteLog("Programmstart in " + state_.programDir);

    ReadStartSettings();
    if (!RunInstanceGuard()) {
        return false;
    }
    DeleteStaleLockFiles();
    timerTot_->SetEnabled(true);
    state_.cycleTime = host_.clock.Now();
    runningDay_ = DecodeDate(state_.cycleTime);
    newDayFileCreated_ = false;
    if (settings.sourceKind == SourceKind::Aqasys) {
        permanentAtCreation_ = false;
        settings.permanentMode = false;
        state_.window.menuEnabled["Initialisierung1"] = false;
    }
    state_.window.Changed();
    CreateLiveDataWindow();
    return true;
}

void TarveddeMain::ReadStartSettings() {
    GeneralSettings& settings = state_.settings;
    IniFile ini(host_.files, state_.PathOf(kMainIniFile));
    settings.opcHost = schema::Read(ini, schema::kOpcHost);
    settings.opcServer = schema::Read(ini, schema::kOpcServer);
    permanentAtCreation_ = schema::Read(ini, schema::kPermanent);
    settings.permanentMode = permanentAtCreation_;
    settings.formatPrecision = schema::Read(ini, schema::kFormatPR);
    settings.formatDecimals = schema::Read(ini, schema::kFormatNK);
    settings.firstRun = schema::Read(ini, schema::kFirstRun);
    settings.nullStart = schema::Read(ini, schema::kNullstart);
    // The guard treats a missing AutoStart as off; the configuration load later as on.
    settings.autoStart = schema::Read(ini, schema::kAutoStart, false);
    (void)schema::Write(ini, schema::kNullstart, false);
    settings.checkDead = schema::Read(ini, schema::kCheckTot);
    (void)schema::Write(ini, schema::kCheckTot, settings.checkDead);
    settings.varIniScaling = schema::Read(ini, schema::kVariniSkalierung);
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
    const std::string& dir = state_.programDir;
    const std::string appName = state_.settings.sourceKind == SourceKind::Opc
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
    const bool mutexExists = instanceLock_->ExistedAlready();
    const bool markerExists = host_.files.Exists(state_.PathOf(kActiveMarkerFile));

    if (mutexExists && markerExists) {
        startAborted_ = true;
        log_.WriteLog("Mutex und $dde_activ in " + dir + " schon vorhanden. Start abgebrochen !");
        host_.shell.TerminateProcess(0);
        return false;
    }
    const bool autoStart = state_.settings.autoStart;
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
        DeleteIfExists(host_.files, state_.PathOf(name));
    }
}

}  // namespace tarvedde
