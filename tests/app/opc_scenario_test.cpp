// A plant read over OPC leaves the same day files as the same values read over DDE (up to
// the program's end, where a DDE installation ends its links before the last save), and
// an OPC server that goes away is taken over by the watchdog until it is back.
#include <gmock/gmock.h>

#include <map>
#include <string>

#include "app/plant_status.h"
#include "app/scenario_runner.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;

// Zulauf: analog integral; Pumpe: digital with its on time; Temperatur: plain.
constexpr char kOpcIni[] =
    "[DDE]\r\nItemcount=3\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
    "Tarveget=0\r\n[Items]\r\nItem1=Q\r\nItem2=P\r\nItem3=T\r\n"
    "[Itemnames]\r\nItem1=Zulauf\r\nItem2=Pumpe\r\nItem3=Temperatur\r\n"
    "[Grafiktyp]\r\nItem2=2\r\n[Integral]\r\nItem1=1\r\nItem2=1\r\n"
    "[IntegralBezug]\r\nItem1=3600\r\nItem2=60\r\n[OPC]\r\nServer=Plant.Sim.1\r\n";
// Values that stand still longer than the watchdog's default time.
constexpr char kPatientWatchdog[] = "OPC_tot-Sekunden=3600\r\n";

// The files whose content speaks of the source (logs, settings, the operator's dialogue,
// the DDE links' logging flags).
bool SourceSpecific(const std::string& name) {
    return name.starts_with("_") || name == "TARVEDDE.INI" || name == "operator.txt" ||
           name == "ddeLogKonfig.tvw";
}

std::map<std::string, std::string> RunPlant(const std::string& script) {
    testing::MemoryPlant plant(std::string(kOpcIni) + kPatientWatchdog);
    {
        ScenarioRunner runner(plant.Options());
        testing::Steps(runner, script);
        runner.Finish();
    }
    std::map<std::string, std::string> outputs;
    for (const std::string& name : plant.files.List("/plant/")) {
        if (!SourceSpecific(name)) {
            outputs[name] = plant.Bytes(name);
        }
    }
    return outputs;
}

TEST(OpcScenario, OpcValuesLeaveTheSameDayFilesAsTheSameValuesOverDde) {
    const auto dde = RunPlant(
        "clock 2024-03-05 08:00:00\nstart\nset Q \"12,5\"\nset P \"1\"\nset T \"8,25\"\n"
        "advance 10m\nset Q \"20\"\nset P \"0\"\nadvance 7m\nset P \"1\"\nset T \"9\"\n"
        "advance 5m\nkill\n");
    const auto opc = RunPlant(
        "clock 2024-03-05 08:00:00\nsource opc\nstart\nset Q 12.5\nset P true\nset T 8.25\n"
        "advance 10m\nset Q 20\nset P \"AUS\" quality good\nadvance 7m\nset P -1\n"
        "set T \"9\" quality 192\nadvance 5m\nkill\n");
    ASSERT_GT(dde.size(), 3u);
    for (const auto& [name, bytes] : dde) {
        const auto other = opc.find(name);
        ASSERT_NE(other, opc.end()) << name << " only over DDE";
        EXPECT_EQ(other->second, bytes) << name;
    }
    EXPECT_EQ(opc.size(), dde.size());
}

// The watchdog's restarts fail while the server is down (at 30 and 60 s) and connect once
// it is back (at 90 s); the status report reads the links of the newest attempt.
TEST(OpcScenario, ServerDownIsRestartedByTheWatchdogUntilItIsBack) {
    testing::MemoryPlant plant(std::string(kOpcIni) + "OPC_tot-Sekunden=30\r\n");
    ScenarioRunner runner(plant.Options());
    const auto linked = [&] {
        return ReadPlantFacts(plant.files, "/plant/", runner.Clock(), TimeZone::Utc()).itemsLinked;
    };
    testing::Steps(runner,
                   "clock 2024-03-05 08:00:00\nsource opc\nstart\nset Q 12.5\nadvance 20s\n"
                   "server down\nadvance 45s\n");
    EXPECT_EQ(linked(), 0);
    testing::Steps(runner, "set Q 3\nserver up\nadvance 30s\nset Q 7.5\n");
    EXPECT_EQ(linked(), 3);
    EXPECT_THAT(plant.Text("_DDE_OPC_LOGALL.TXT"),
                HasSubstr("*** OPCclient.Connect/ConnectGroups : Fehler !"));
    ASSERT_NE(runner.Engine(), nullptr);
    EXPECT_EQ(runner.Engine()->Dde().Sources()[1].newestText, "7,5");
    EXPECT_EQ(runner.Engine()->Config().Settings().opcCloseCount, 2);
}

}  // namespace
}  // namespace tarvedde
