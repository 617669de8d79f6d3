// Hands each queued answer to ScriptedOperator just before the interaction that takes it,
// so ScriptedOperator's two queues never hold more than that one answer.
#include "app/scenario_operator.h"

namespace tarvedde {

ScenarioOperator::ScenarioOperator() : scripted_(Answer::No) {
    // As the headless program: a start that would put a second client into a working
    // directory is abandoned when nobody says otherwise.
    scripted_.Fallback().SetAnswer("Programmstart abbrechen ?", Answer::Yes);
}

std::optional<AnswerCommand> ScenarioOperator::Take() {
    if (queue_.empty()) {
        return std::nullopt;
    }
    AnswerCommand front = std::move(queue_.front());
    queue_.pop_front();
    return front;
}

Answer ScenarioOperator::Ask(const std::string& text, QuestionButtons buttons) {
    const auto next = Take();
    if (next && next->answer) {
        scripted_.QueueAnswer(*next->answer);
    }
    return scripted_.Ask(text, buttons);
}

std::optional<std::string> ScenarioOperator::InputBox(const std::string& caption,
                                                      const std::string& prompt,
                                                      const std::string& defaultText) {
    const auto next = Take();
    if (next && !next->answer) {
        scripted_.QueueText(next->text);
    } else if (next && *next->answer == Answer::Yes) {
        scripted_.QueueText(defaultText);
    } else if (next) {
        scripted_.QueueInputCancel();
    }
    return scripted_.InputBox(caption, prompt, defaultText);
}

}  // namespace tarvedde
