#include "bench/virtual_plant.h"

#include "bench/bench_plant.h"

namespace tarvedde::bench {

VirtualPlant::VirtualPlant(const std::string& programDir)
    : real_(MakeRealFileSystem()),
      counting_(*real_, programDir),
      runner_(ScenarioOptions{programDir, &counting_}) {}

Status VirtualPlant::Execute(ScenarioAction action) {
    return runner_.Execute(ScenarioCommand{0, "bench", std::move(action)});
}

bool VirtualPlant::Start(double localTime, const std::string& zone) {
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
    for (int n = 1; n <= kBenchItems; ++n) {
        Publish(n);
    }
    return !runner_.Ended();
}

void VirtualPlant::Publish(int item) {
    SetCommand set;
    set.item = ServerItem(item);
    set.value = ValueText(item, cycle_);
    (void)Execute(std::move(set));
}

void VirtualPlant::DeliverValues() {
    ++cycle_;
    for (int n = 1; n <= kBenchItems; ++n) {
        Publish(n);
    }
}

void VirtualPlant::Tick() {
    (void)Execute(AdvanceCommand{1000});
}

}  // namespace tarvedde::bench
