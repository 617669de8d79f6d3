#include "bench/virtual_plant.h"

#include "bench/bench_plant.h"

namespace tarvedde::bench {

VirtualPlant::VirtualPlant(const std::string& programDir)
    : programDir_(programDir),
      real_(MakeRealFileSystem()),
      counting_(*real_, programDir),
      runner_(ScenarioOptions{programDir, &counting_}) {}

Status VirtualPlant::Execute(ScenarioAction action) {
    return runner_.Execute(ScenarioCommand{0, "bench", std::move(action)});
}

bool VirtualPlant::Start(double localTime, const std::string& zone) {
    if (!plantgen::WritePlant(*real_, programDir_, kBenchPlant).ok()) {
        return false;
    }
    if (!zone.empty() && !Execute(TimeZoneCommand{zone}).ok()) {
        return false;
    }
    if (!Execute(ClockCommand{localTime}).ok()) {
        return false;
    }
    // The first values are there before the program links its items.
    if (!Execute(StartCommand{}).ok() || runner_.Engine() == nullptr) {
        return false;
    }
    for (int n = 1; n <= plantgen::kPlantItems; ++n) {
        Publish(n);
    }
    return !runner_.Ended();
}

void VirtualPlant::Publish(int item) {
    SetCommand set;
    set.item = plantgen::ServerItem(item);
    set.value = plantgen::ValueText(item, cycle_, kBenchPlant);
    (void)Execute(std::move(set));
}

void VirtualPlant::DeliverValues() {
    ++cycle_;
    for (int n = 1; n <= plantgen::kPlantItems; ++n) {
        Publish(n);
    }
}

void VirtualPlant::Tick() {
    (void)Execute(AdvanceCommand{1000});
}

}  // namespace tarvedde::bench
