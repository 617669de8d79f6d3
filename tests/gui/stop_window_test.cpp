#include "gui/stop_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "tests/engine/engine_test_host.h"
#include "tests/gui/qt_application.h"

namespace tarvedde {
namespace {

class StopWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::EnsureQtApplication(); }

    StopWindowTest() {
        env_.WriteText("TARVEDDE.INI",
                       "[DDE]\nAutoStart=1\nItemcount=1\nIntervall=1\nEinheit=0\n"
                       "AktuTag=05.03.2024\n[Items]\nItem1=Q\n");
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = "stop-window-test";
        main_ = std::make_unique<TarveddeMain>(env_.host, options);
        form_ = std::make_unique<TFo_Stop>(*main_);
        view_ = std::make_unique<StopWindow>(*form_);
        EXPECT_TRUE(main_->FormCreate());
        main_->FormShow();
    }

    QProgressBar* Bar() { return view_->findChild<QProgressBar*>("p1"); }

    testing::EngineTestHost env_;
    std::unique_ptr<TarveddeMain> main_;
    std::unique_ptr<TFo_Stop> form_;
    std::unique_ptr<StopWindow> view_;
};

TEST_F(StopWindowTest, AppearsWithTheCountdownFollowsItsTicksAndHidesWhenItEnds) {
    EXPECT_TRUE(view_->isHidden());
    ASSERT_FALSE(main_->FormClose());
    EXPECT_FALSE(view_->isHidden());
    EXPECT_EQ(view_->windowTitle(), " DDE/OPC-Client wird beendet......");
    EXPECT_EQ(view_->findChild<QLabel*>("lbText")->text(), "DDE/OPC-Client wird beendet......");
    EXPECT_EQ(Bar()->maximum(), 8);
    env_.loop.AdvanceBy(3000);
    EXPECT_EQ(Bar()->value(), 3);
    env_.loop.AdvanceBy(5000);
    EXPECT_TRUE(main_->Stopped());
    EXPECT_TRUE(view_->isHidden());
}

TEST_F(StopWindowTest, TheButtonKeepsTheProgramRunning) {
    ASSERT_FALSE(main_->FormClose());
    env_.loop.AdvanceBy(2000);
    view_->findChild<QPushButton*>("BitBtn1")->click();
    EXPECT_TRUE(view_->isHidden());
    env_.loop.AdvanceBy(10000);
    EXPECT_FALSE(main_->Stopped());
    EXPECT_FALSE(form_->Visible());
}

}  // namespace
}  // namespace tarvedde
