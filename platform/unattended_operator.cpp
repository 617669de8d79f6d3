// Configured answers first, then the defaults; every interaction goes to the sink.
#include "platform/unattended_operator.h"

#include <utility>

#include "platform/operator_transcript.h"

namespace tarvedde {

UnattendedOperator::UnattendedOperator(Sink sink, Answer defaultAnswer)
    : sink_(std::move(sink)), defaultAnswer_(defaultAnswer) {}

void UnattendedOperator::SetAnswer(const std::string& question, Answer answer) {
    answers_[question] = answer;
}

void UnattendedOperator::SetInputText(const std::string& prompt, std::optional<std::string> text) {
    inputTexts_[prompt] = std::move(text);
}

void UnattendedOperator::ShowMessage(const std::string& text) {
    Report(MessageLine(text));
}

Answer UnattendedOperator::Ask(const std::string& text, QuestionButtons buttons) {
    const auto configured = answers_.find(text);
    const Answer answer = configured != answers_.end() ? configured->second : defaultAnswer_;
    const Answer fitted = FitToButtons(answer, buttons);
    Report(QuestionLine(text, fitted));
    return fitted;
}

std::optional<std::string> UnattendedOperator::InputBox(const std::string& /*caption*/,
                                                        const std::string& prompt,
                                                        const std::string& defaultText) {
    const auto configured = inputTexts_.find(prompt);
    std::optional<std::string> text =
        configured != inputTexts_.end() ? configured->second : defaultText;
    Report(InputLine(prompt, text));
    return text;
}

void UnattendedOperator::Beep() {
    Report(BeepLine());
}

void UnattendedOperator::Report(const std::string& line) const {
    if (sink_) {
        sink_(line);
    }
}

}  // namespace tarvedde
