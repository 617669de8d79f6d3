// The warning window's state, owned by the engine: its list lb1, its caption and whether
// it is shown. Limit warnings (and later the source watchdog) add lines and show it; the
// form TFo_Warnung handles its events, and a view displays it and follows Visible().
#pragma once

#include <functional>
#include <string>

#include "platform/lines_model.h"

namespace tarvedde {

inline constexpr char kLimitWarningCaption[] = " Prozessdaten - Grenzwertüberschreitung !";

class WarningWindowModel {
public:
    // The form that handles the window's events joins here: showing runs its FormShow.
    class Form {
    public:
        virtual ~Form() = default;
        virtual void FormShow() = 0;
    };

    LinesModel& lb1() { return lb1_; }
    const LinesModel& lb1() const { return lb1_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) {
        caption_ = std::move(caption);
        Changed();
    }
    bool Visible() const { return visible_; }
    // Not modal. Only a hidden window runs its form's FormShow.
    void Show() {
        if (visible_) {
            return;
        }
        visible_ = true;
        if (form_ != nullptr) {
            form_->FormShow();
        }
        Changed();
    }
    void Hide() {
        visible_ = false;
        Changed();
    }
    // The form attaches itself for its lifetime; nullptr detaches it.
    void Attach(Form* form) { form_ = form; }
    // A view repaints on this; the list tells its own listener.
    void SetListener(std::function<void()> listener) { listener_ = std::move(listener); }

private:
    void Changed() const {
        if (listener_) {
            listener_();
        }
    }

    LinesModel lb1_;
    std::string caption_ = kLimitWarningCaption;
    bool visible_ = false;
    Form* form_ = nullptr;
    std::function<void()> listener_;
};

}  // namespace tarvedde
