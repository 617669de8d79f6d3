// The operator of a scenario: the script's `answer` lines form one queue that the next
// question or input box takes, whichever comes first, as a person at the screen would
// answer whatever appears next. Unqueued interactions get the unattended defaults of the
// headless program. Transcript lines come from ScriptedOperator.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "app/scenario_script.h"
#include "platform/scripted_operator.h"

namespace tarvedde {

class ScenarioOperator : public Operator {
public:
    ScenarioOperator();

    // A question takes a button answer; a text answer given to a question is used up and
    // the question gets its default. An input box takes a text; "yes" confirms its
    // default text, "no" and "cancel" cancel it.
    void Queue(AnswerCommand answer) { queue_.push_back(std::move(answer)); }
    std::size_t Pending() const { return queue_.size(); }

    ScriptedOperator& Scripted() { return scripted_; }

    void ShowMessage(const std::string& text) override { scripted_.ShowMessage(text); }
    Answer Ask(const std::string& text, QuestionButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText) override;
    void Beep() override { scripted_.Beep(); }

private:
    std::optional<AnswerCommand> Take();

    ScriptedOperator scripted_;
    std::deque<AnswerCommand> queue_;
};

}  // namespace tarvedde
