// The benchmark plant run by the engine in virtual time: the scenario runner's host
// (virtual clock and loop, in-memory DDE server) over a real program directory, one
// cycle a virtual second. Every item gets a new value before each cycle, as the server's
// advise links would deliver it.
#pragma once

#include <memory>
#include <string>

#include "app/scenario_runner.h"
#include "bench/counting_file_system.h"

namespace tarvedde::bench {

class VirtualPlant {
public:
    // `programDir` ends with '/'.
    explicit VirtualPlant(const std::string& programDir);

    // Lays out the benchmark plant in the directory, then the program starts at `localTime`
    // (a day number) in the zone `zone` ("" = UTC); false when a file could not be written
    // or the program did not come up acquiring.
    bool Start(double localTime, const std::string& zone = "");
    // New values for every item, then one virtual second with its cycle.
    void Cycle() {
        DeliverValues();
        Tick();
    }
    // The two halves of a cycle: the values arriving through the advise links, and the
    // virtual second with the cycle's tick.
    void DeliverValues();
    void Tick();
    // The close as at the end of a scenario: the stop countdown runs out and the state is
    // saved for the next start.
    void Finish() { runner_.Finish(); }

    CountingFileSystem& Files() { return counting_; }
    long Cycles() const { return cycle_; }
    double Now() { return runner_.Clock().Now(); }

private:
    Status Execute(ScenarioAction action);
    void Publish(int item);

    std::string programDir_;
    std::unique_ptr<FileSystem> real_;
    CountingFileSystem counting_;
    ScenarioRunner runner_;
    long cycle_ = 0;
};

}  // namespace tarvedde::bench
