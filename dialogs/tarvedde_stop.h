// The stop countdown (" DDE/OPC-Client wird beendet......"): shown when the main window
// is asked to close while acquisition runs. Without an answer it stops acquisition and
// closes the program after 8 ticks of one second, so an unattended client always ends;
// "Nein, nicht beenden" keeps it running. It registers itself with the engine and must
// not outlive it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class TFo_Stop {
public:
    explicit TFo_Stop(TarveddeMain& main);
    ~TFo_Stop();
    TFo_Stop(const TFo_Stop&) = delete;
    TFo_Stop& operator=(const TFo_Stop&) = delete;

    // Not modal; showing a visible window changes nothing.
    void Show();
    void FormShow();
    void Timer1Timer();
    void BitBtn1Click();  // "Nein, nicht beenden"

    bool Visible() const { return visible_; }
    int Counter() const { return counter_; }
    const Timer& Timer1() const { return *timer1_; }

    std::string caption = " DDE/OPC-Client wird beendet......";
    std::string BitBtn1 = "Nein, nicht beenden";
    int p1Max = 100;
    int p1Position = 0;

    // A view repaints on this: the form showed, ticked or was answered.
    std::function<void()> onChanged;

    static constexpr int kTicks = 8;

private:
    void Changed();

    TarveddeMain& main_;
    std::unique_ptr<Timer> timer1_;
    bool visible_ = false;
    int counter_ = 0;
};

}  // namespace tarvedde
