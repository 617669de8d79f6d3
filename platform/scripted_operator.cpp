// Queued answers first, then the fallback's configuration.
#include "platform/scripted_operator.h"

#include <utility>

#include "platform/operator_transcript.h"

namespace tarvedde {

ScriptedOperator::ScriptedOperator(Answer defaultAnswer) : fallback_(nullptr, defaultAnswer) {}

void ScriptedOperator::QueueAnswer(Answer answer) {
    answers_.push_back(answer);
}

void ScriptedOperator::QueueText(std::string text) {
    texts_.emplace_back(std::move(text));
}

void ScriptedOperator::QueueInputCancel() {
    texts_.emplace_back(std::nullopt);
}

void ScriptedOperator::ShowMessage(const std::string& text) {
    Record(MessageLine(text));
}

Answer ScriptedOperator::Ask(const std::string& text, QuestionButtons buttons) {
    if (answers_.empty()) {
        const Answer answer = fallback_.Ask(text, buttons);
        Record(QuestionLine(text, answer));
        return answer;
    }
    const Answer answer = FitToButtons(answers_.front(), buttons);
    answers_.pop_front();
    Record(QuestionLine(text, answer));
    return answer;
}

std::optional<std::string> ScriptedOperator::InputBox(const std::string& caption,
                                                      const std::string& prompt,
                                                      const std::string& defaultText) {
    std::optional<std::string> text;
    if (texts_.empty()) {
        text = fallback_.InputBox(caption, prompt, defaultText);
    } else {
        text = std::move(texts_.front());
        texts_.pop_front();
    }
    Record(InputLine(prompt, text));
    return text;
}

void ScriptedOperator::Beep() {
    Record(BeepLine());
}

void ScriptedOperator::Record(std::string line) {
    transcript_.push_back(std::move(line));
    if (lineSink_) {
        lineSink_(transcript_.back());
    }
}

}  // namespace tarvedde
