// plantsim: the stand-in process-data server. Serves the DDE services of its INI file on
// the local socket protocol, sends generated values to hot links on every change, and
// injects faults on schedule or on request through a control file, so the client's
// recovery can be tested against a real process. With a readings file its meters go on
// from where they stood at the last clean end. One thread, one poll loop; SIGINT and
// SIGTERM end it cleanly and remove its sockets.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/number_format.h"
#include "platform/poll_event_loop.h"
#include "sources/socket_dde_server.h"
#include "tools/plantsim/plantsim_aqasys.h"
#include "tools/plantsim/plantsim_items.h"
#include "tools/plantsim/plantsim_opc.h"

namespace tarvedde::plantsim {
namespace {

PollEventLoop* signalLoop = nullptr;

void OnSignal(int) {
    if (signalLoop != nullptr) {
        signalLoop->RequestQuitFromSignal();
    }
}

struct Options {
    std::string config;
    std::string ddeDir;
    std::string control;
    std::string readings;
    std::uint32_t seed = 1;
    std::vector<std::string> faults;  // "kind@atMs[:durationMs]"
    PlantOpcOptions opc;
};

constexpr const char* kUsage =
    "usage: plantsim --config FILE [--dde-dir DIR] [--seed N] [--control FILE]\n"
    "                [--readings FILE]\n"
    "                [--fault drop|refuse|stall|garbage|oversize@AT_MS[:DURATION_MS]]...\n"
    "                [--opc-endpoint NAME] [--opc-port PORT [--opc-bind ADDRESS]]\n"
    "                [--opc-delivery 2.0|1.0|both|none] [--opc-zone ZONE]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        std::string value = argv[++i];
        if (arg == "--config") {
            options.config = value;
        } else if (arg == "--dde-dir") {
            options.ddeDir = value;
        } else if (arg == "--control") {
            options.control = value;
        } else if (arg == "--readings") {
            options.readings = value;
        } else if (arg == "--seed") {
            options.seed = static_cast<std::uint32_t>(StrToIntDef(value, 1));
        } else if (arg == "--fault") {
            options.faults.push_back(value);
        } else if (!ParseOpcOption(arg, value, options.opc)) {
            return false;
        }
    }
    return !options.config.empty();
}

void Log(const std::string& line) {
    std::cerr << "plantsim: " << line << std::endl;
}

class Plant {
public:
    Plant(PollEventLoop& loop, PlantConfig config, std::uint32_t seed)
        : loop_(loop), config_(std::move(config)), seed_(seed) {}

    Status Start(const std::string& ddeDir) {
        for (const auto& service : config_.services) {
            auto server = SocketDdeServer::Create(loop_, ddeDir, service.name, service.topic, Log);
            if (!server) {
                return server.error();
            }
            Log("serving " + service.name + " / " + service.topic + " at " +
                server.value()->SocketPath());
            servers_.push_back(std::move(server).value());
        }
        for (std::size_t i = 0; i < config_.items.size(); ++i) {
            StartItem(i);
        }
        return Status::Ok();
    }

    // "kind@atMs[:durationMs]".
    bool Schedule(const std::string& faultText) {
        auto at = faultText.find('@');
        if (at == std::string::npos) {
            return false;
        }
        std::string kind = faultText.substr(0, at);
        std::string times = faultText.substr(at + 1);
        auto colon = times.find(':');
        int atMs = StrToIntDef(times.substr(0, colon), -1);
        int duration = colon == std::string::npos ? 0 : StrToIntDef(times.substr(colon + 1), -1);
        if (atMs < 1 || duration < 0 || !KnownFault(kind)) {
            return false;
        }
        After(atMs, [this, kind, duration] { Apply(kind, duration); });
        return true;
    }

    void WatchControlFile(const std::string& path) {
        auto timer = loop_.CreateTimer("control", 100, [this, path] { ReadControl(path); });
        timer->SetEnabled(true);
        timers_.push_back(std::move(timer));
    }

    bool ServeAqasys(DdeRequestAnswerer& face, int service) {
        if (service < 1 || static_cast<std::size_t>(service) > servers_.size()) {
            return false;
        }
        servers_[static_cast<std::size_t>(service - 1)]->SetRequestAnswerer(&face);
        return true;
    }

    void SaveReadings(IniFile& readings) const {
        for (std::size_t i = 0; i < generators_.size(); ++i) {
            if (Status saved = SaveReading(readings, config_.items[i], generators_[i]->Reading());
                !saved) {
                Log(readings.path() + ": " + saved.error().message);
                return;
            }
        }
    }

private:
    static bool KnownFault(const std::string& kind) {
        return kind == "drop" || kind == "refuse" || kind == "stall" || kind == "garbage" ||
               kind == "oversize";
    }

    void StartItem(std::size_t index) {
        const ItemConfig& item = config_.items[index];
        SocketDdeServer& server = *servers_[static_cast<std::size_t>(item.service - 1)];
        if (!item.requestText.empty()) {
            server.SetRequestText(item.name, item.requestText);
        }
        auto generator = std::make_shared<Generator>(item, seed_ * 1000u + index);
        generators_.push_back(generator);
        auto last = std::make_shared<std::string>(generator->Next());
        server.Publish(item.name, *last);
        auto timer =
            loop_.CreateTimer(item.name, item.intervalMs, [&server, item, generator, last] {
                std::string text = generator->Next();
                if (text != *last) {
                    *last = text;
                    server.Publish(item.name, text);
                }
            });
        timer->SetEnabled(true);
        timers_.push_back(std::move(timer));
    }

    // A one-shot timer.
    void After(int ms, std::function<void()> action) {
        auto self = std::make_shared<Timer*>(nullptr);
        auto timer = loop_.CreateTimer("fault", ms, [self, action = std::move(action)] {
            (*self)->SetEnabled(false);
            action();
        });
        *self = timer.get();
        timer->SetEnabled(true);
        timers_.push_back(std::move(timer));
    }

    bool Apply(const std::string& kind, int durationMs) {
        Log("fault: " + kind +
            (durationMs > 0 ? " for " + std::to_string(durationMs) + " ms" : ""));
        for (auto& server : servers_) {
            if (kind == "drop") {
                server->DropAll();
            } else if (kind == "refuse") {
                server->SetRefusing(true);
            } else if (kind == "stall") {
                server->SetStalled(true);
            } else if (kind == "garbage") {
                server->SendGarbage();
            } else if (kind != "oversize") {
                return false;
            }
        }
        if (kind == "oversize") {
            for (const auto& item : config_.items) {
                servers_[static_cast<std::size_t>(item.service - 1)]->Publish(
                    item.name, std::string(9998, '9') + "\r\n");
            }
        }
        if (durationMs > 0 && (kind == "refuse" || kind == "stall")) {
            After(durationMs, [this, kind] {
                Log("fault ends: " + kind);
                for (auto& server : servers_) {
                    kind == "refuse" ? server->SetRefusing(false) : server->SetStalled(false);
                }
            });
        }
        return true;
    }

    void ReadControl(const std::string& path) {
        std::ifstream file(path);
        if (!file) {
            return;
        }
        std::string line;
        std::vector<std::string> commands;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            commands.push_back(line);
        }
        file.close();
        std::remove(path.c_str());
        for (const auto& command : commands) {
            std::istringstream words(command);
            std::string kind;
            int duration = 0;
            words >> kind >> duration;
            if (opc_ != nullptr && opc_->Command(command)) {
                continue;
            }
            if (!kind.empty() && (!KnownFault(kind) || !Apply(kind, duration))) {
                Log("unknown control command: " + command);
            }
        }
    }

public:
    void SetOpcFace(PlantOpcFace* opc) { opc_ = opc; }

private:
    PollEventLoop& loop_;
    PlantOpcFace* opc_ = nullptr;
    PlantConfig config_;
    std::uint32_t seed_;
    std::vector<std::unique_ptr<SocketDdeServer>> servers_;
    std::vector<std::shared_ptr<Generator>> generators_;  // in item order
    std::vector<std::unique_ptr<Timer>> timers_;
};

Result<std::unique_ptr<PlantOpcFace>> StartOpcFace(PollEventLoop& loop, const Clock& clock,
                                                   OpcPlantConfig config, Options& options) {
    if (config.servers.empty()) {
        return std::unique_ptr<PlantOpcFace>();
    }
    if (options.opc.delivery) {
        for (auto& server : config.servers) {
            server.interfaces = *options.opc.delivery;
        }
    }
    const char* tz = std::getenv("TZ");
    const std::string zoneName = !options.opc.zone.empty() ? options.opc.zone : tz ? tz : "";
    auto zone = zoneName.empty() ? Result<TimeZone>(TimeZone::Utc()) : TimeZone::Load(zoneName);
    if (!zone) {
        return zone.error();
    }
    options.opc.socket.directory = options.ddeDir;
    auto face = PlantOpcFace::Start(loop, clock, clock, std::move(zone).value(), std::move(config),
                                    options.opc.socket, Log, options.seed);
    if (face) {
        const SocketOpcServer& socket = face.value()->Socket();
        Log("serving OPC at " + socket.SocketPath() +
            (socket.TcpPort() != 0 ? " and TCP port " + std::to_string(socket.TcpPort()) : ""));
    }
    return face;
}

int Run(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    auto fs = MakeRealFileSystem();
    IniFile ini(*fs, options.config);
    auto opcConfig = LoadOpcPlantConfig(ini);
    if (!opcConfig) {
        Log(options.config + ": " + opcConfig.error().message);
        return 1;
    }
    // A plant with an OPC face needs no DDE service.
    const bool opcOnly = !opcConfig.value().servers.empty() && !ini.SectionExists("Service");
    auto config = opcOnly ? Result<PlantConfig>(PlantConfig{}) : LoadPlantConfig(ini);
    if (!config) {
        Log(options.config + ": " + config.error().message);
        return 1;
    }
    IniFile readings(*fs, options.readings);
    if (!options.readings.empty()) {
        ResumeReadings(readings, config.value());
    }
    auto clock = MakeSystemClock();
    auto loop = PollEventLoop::Create(*clock);
    if (!loop) {
        Log(loop.error().message);
        return 1;
    }
    Plant plant(*loop.value(), std::move(config).value(), options.seed);
    if (Status started = plant.Start(options.ddeDir); !started) {
        Log(started.error().message);
        return 1;
    }
    auto opc = StartOpcFace(*loop.value(), *clock, std::move(opcConfig).value(), options);
    if (!opc) {
        Log(opc.error().message);
        return 1;
    }
    plant.SetOpcFace(opc.value().get());
    auto aqasys = LoadAqasysConfig(ini, *fs);
    if (!aqasys) {
        Log(options.config + ": " + aqasys.error().message);
        return 1;
    }
    std::unique_ptr<AqasysFace> aqasysFace;
    if (aqasys.value()) {
        const int service = aqasys.value()->service;
        aqasysFace = std::make_unique<AqasysFace>(std::move(*aqasys.value()));
        if (!plant.ServeAqasys(*aqasysFace, service)) {
            Log(options.config + ": [Aqasys] Service names no service");
            return 1;
        }
    }
    for (const auto& fault : options.faults) {
        if (!plant.Schedule(fault)) {
            Log("bad --fault " + fault);
            return 2;
        }
    }
    if (!options.control.empty()) {
        plant.WatchControlFile(options.control);
    }
    signalLoop = loop.value().get();
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    Log("running");
    loop.value()->Run();
    signalLoop = nullptr;
    if (!options.readings.empty()) {
        plant.SaveReadings(readings);
    }
    Log("stopped");
    return 0;
}

}  // namespace
}  // namespace tarvedde::plantsim

int main(int argc, char** argv) {
    return tarvedde::plantsim::Run(argc, argv);
}
