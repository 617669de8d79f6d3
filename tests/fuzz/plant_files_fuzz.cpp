// A plant directory holds files that operators' editors, the diary program and older
// builds write, and that a crash or a full disk may leave damaged. The demo plant runs a
// few cycles once to leave its state files; each input then damages one file of that
// directory and the client starts on it, acquires for half a minute of virtual time and
// closes. Nothing may crash, hang or leak. Input: which file, where the input's bytes
// overwrite it, whether the file ends after them, then the bytes; so most inputs keep a
// file's structure and reach the code behind its first checks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/frame/tarvedde_main.h"
#include "platform/text_encoding.h"
#include "tests/engine/engine_test_host.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

constexpr const char* kDemoFiles[] = {"TARVEDDE.INI", "EICH.INI", "ONLINE.TVW", "VENTURI_QH.TXT"};

StartOptions Options() {
    StartOptions options;
    options.programDir = "/plant";
    options.lockName = "fuzz";
    return options;
}

// Start, acquisition for `seconds` of virtual time, stop and close.
void RunClient(testing::EngineTestHost& env, int seconds) {
    env.ServeConfiguredItems();
    TarveddeMain main(env.host, Options());
    if (!main.FormCreate()) {
        return;
    }
    main.FormShow();
    env.loop.AdvanceBy(std::int64_t{seconds} * 1000);
    main.StopAcquisition();
    main.FormClose();
}

std::string ReadSourceFile(const std::string& name) {
    std::ifstream in(std::string(TARVEDDE_SOURCE_DIR) + "/tools/demo-plant/" + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The demo plant's directory after its first minute: the files and their bytes.
const std::map<std::string, std::string>& PlantAfterFirstRun() {
    static const std::map<std::string, std::string> plant = [] {
        testing::EngineTestHost env;
        for (const char* name : kDemoFiles) {
            env.WriteText(name, ReadSourceFile(name));
        }
        RunClient(env, 60);
        std::map<std::string, std::string> files;
        for (const std::string& name : env.files.List(env.dir)) {
            if (auto bytes = env.files.ReadAll(env.dir + name); bytes.ok()) {
                files[env.dir + name] = std::move(bytes).value();
            }
        }
        FUZZ_CHECK(files.size() > 10);
        return files;
    }();
    return plant;
}

// The file's bytes with `bytes` written over them from `offset` on, cut after them or not.
std::string Damaged(const std::string& file, std::size_t offset, bool cut, std::string_view bytes) {
    offset = std::min(offset, file.size());
    std::string damaged = file.substr(0, offset);
    damaged += bytes;
    if (!cut && offset + bytes.size() < file.size()) {
        damaged += file.substr(offset + bytes.size());
    }
    return damaged;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const auto& plant = PlantAfterFirstRun();
    testing::EngineTestHost env;
    for (const auto& [path, bytes] : plant) {
        (void)env.files.WriteAll(path, bytes, false);
    }
    auto target = plant.begin();
    std::advance(target, data[0] % plant.size());
    const std::size_t offset = data[1] * 256u + data[2];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 4, size - 4);
    (void)env.files.WriteAll(target->first,
                             Damaged(target->second, offset, (data[3] & 1) != 0, bytes), false);
    RunClient(env, 30);
    return 0;
}
