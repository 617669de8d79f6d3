// A two-item plant started in memory, with the protocol windows in a catalog.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "gui/protocol_views.h"
#include "tests/engine/engine_test_host.h"
#include "tests/gui/qt_application.h"

namespace tarvedde::testing {

class ProtocolViewsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureQtApplication(); }

    ProtocolViewsTest() {
        env_.WriteText("TARVEDDE.INI",
                       "[DDE]\nAutoStart=0\nItemcount=2\nAktuTag=05.03.2024\n[Items]\nItem1=Q\n"
                       "Item2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n[Warnung]\nItem1=1\n");
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = "protocol-views-test";
        engine_ = std::make_unique<TarveddeMain>(env_.host, options);
        EXPECT_TRUE(engine_->FormCreate());
        engine_->FormShow();
        warnung_ =
            std::make_unique<TFo_Warnung>(engine_->WarningWindow(), engine_->Config(), env_.host);
        AddProtocolViews(catalog_, *engine_, *warnung_, std::make_shared<QtPrinters>());
    }

    template <class T>
    T* Find(const char* window, const char* name) {
        return catalog_.Window(window)->findChild<T*>(name);
    }

    EngineTestHost env_;
    std::unique_ptr<TarveddeMain> engine_;
    std::unique_ptr<TFo_Warnung> warnung_;
    QWidget parent_;
    WindowCatalog catalog_{&parent_};
};

}  // namespace tarvedde::testing
