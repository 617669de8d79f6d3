// The demo plant as scripts/demo.sh lays it out: the client's loader takes every file of
// tools/demo-plant (as Windows-1252 with CR LF), finds the features the demo is meant to
// show, and plantsim's demo.ini serves every item the client links.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/file_system.h"
#include "tests/engine/engine_fixture.h"
#include "tools/plantsim/plantsim_items.h"

namespace tarvedde {
namespace {

const std::filesystem::path kToolsDir = TARVEDDE_TOOLS_DIR;

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

struct Range {
    double low;
    double high;
};

// What the generator can send; a counter without wrap only its start, as it grows for ever.
Range SentRange(const plantsim::ItemConfig& item) {
    using Kind = plantsim::GeneratorKind;
    switch (item.kind) {
        case Kind::kConstant:
            return {item.value, item.value};
        case Kind::kDigital:
            return {0.0, 1.0};
        case Kind::kCounter:
            return item.wrap ? Range{item.min, item.max} : Range{item.value, item.value};
        default:
            return {item.min, item.max};
    }
}

class DemoPlant : public testing::EngineFixture {
protected:
    void SetUp() override {
        for (const auto& entry : std::filesystem::directory_iterator(kToolsDir / "demo-plant")) {
            std::ifstream file(entry.path());
            Write(entry.path().filename().string(),
                  std::string(std::istreambuf_iterator<char>(file), {}));
        }
        Load();
        auto files = MakeRealFileSystem();
        auto plant = plantsim::LoadPlantConfig(
            IniFile(*files, (kToolsDir / "plantsim" / "demo.ini").string()));
        ASSERT_TRUE(plant) << plant.error().message;
        plant_ = std::move(plant).value();
    }

    int Count() const { return settings_.itemCount; }

    bool Any(const std::function<bool(const ItemConfig&)>& feature) {
        for (int n = 1; n <= Count(); ++n) {
            if (feature(Item(n))) {
                return true;
            }
        }
        return false;
    }

    plantsim::PlantConfig plant_;
};

TEST_F(DemoPlant, LoadsAtLeastTwentyItemsWithEveryFeatureTheDemoShows) {
    EXPECT_GE(Count(), 20);
    EXPECT_TRUE(settings_.configValid);
    EXPECT_TRUE(Transcript().empty()) << Transcript().front();
    for (const std::string& line : LogLines()) {
        EXPECT_EQ(line.find("Fehler"), std::string::npos) << line;
        EXPECT_EQ(line.find("fehlt"), std::string::npos) << line;
    }
    const int count = Count();
    EXPECT_TRUE(Any([](const ItemConfig& i) {
        return i.Integral && !i.IsDigital() && !i.mirror.mirrorOn && i.IntegralBezug > 1;
    })) << "analog flow with integral";
    EXPECT_TRUE(Any([](const ItemConfig& i) { return i.Differenz && !i.mirror.mirrorOn; }))
        << "counter with difference";
    EXPECT_TRUE(Any([](const ItemConfig& i) { return i.IsDigital() && i.Integral; }))
        << "digital pump with operating hours";
    EXPECT_TRUE(Any([count](const ItemConfig& i) {
        return i.mirror.mirrorOn && i.mirror.sourceItem >= 1 && i.mirror.sourceItem <= count;
    })) << "mirrored item";
    EXPECT_TRUE(Any([](const ItemConfig& i) { return i.Gleitend; })) << "moving average";
    EXPECT_GT(settings_.movingBufferSize, 1);
    EXPECT_TRUE(Any([](const ItemConfig& i) { return i.M15_berechnen && !i.IsDigital(); }))
        << "fifteen-minute values";
    EXPECT_TRUE(Any([this](const ItemConfig& i) {
        return i.Tabelle_benutzen > 0 &&
               tables_[static_cast<std::size_t>(i.Tabelle_benutzen)].pointCount >= 2;
    })) << "table conversion with its table file";
    EXPECT_TRUE(Any([](const ItemConfig& i) {
        return i.valueConversion.conversionOn && !i.mirror.mirrorOn &&
               i.valueConversion.conversionFactor != i.valueConversion.conversionDivisor;
    })) << "unit conversion";
    EXPECT_TRUE(Any([](const ItemConfig& i) { return i.calibrationSlope != 1.0; }))
        << "calibration from EICH.INI";
}

// Every linked item is served under the client's service and topic, and a reading outside
// the validity limits would be clamped onto them: a meter would stand still.
TEST_F(DemoPlant, PlantsimServesEveryLinkedItemWithinItsLimitsAndNothingElse) {
    const auto& services = plant_.services;
    std::size_t linked = 0;
    for (int n = 1; n <= Count(); ++n) {
        const ItemConfig& item = Item(n);
        if (item.mirror.mirrorOn) {
            continue;  // mirrored items have no link of their own
        }
        ++linked;
        const auto sent = std::find_if(plant_.items.begin(), plant_.items.end(), [&](auto& s) {
            const auto& service = services[static_cast<std::size_t>(s.service - 1)];
            return SameName(s.name, item.serverItem) &&
                   SameName(service.name, settings_.ddeService) &&
                   SameName(service.topic, settings_.ddeTopic);
        });
        ASSERT_NE(sent, plant_.items.end()) << "item " << n << " " << item.serverItem;
        const Range range = SentRange(*sent);
        const double low = range.low * item.calibrationSlope + item.calibrationIntercept;
        const double high = range.high * item.calibrationSlope + item.calibrationIntercept;
        EXPECT_GE(std::min(low, high), item.effectiveLoLimit) << sent->name;
        EXPECT_LE(std::max(low, high), item.effectiveUpLimit) << sent->name;
    }
    EXPECT_EQ(plant_.items.size(), linked);
}

}  // namespace
}  // namespace tarvedde
