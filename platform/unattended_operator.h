// The operator of services and the headless program: nobody is there, so nothing blocks.
// Every interaction is reported as one transcript line (see operator_transcript.h) to a
// sink, which the program logs, and answered from configuration.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/operator.h"

namespace tarvedde {

class UnattendedOperator : public Operator {
public:
    using Sink = std::function<void(const std::string&)>;

    // `defaultAnswer` answers every question not configured by its text.
    explicit UnattendedOperator(Sink sink, Answer defaultAnswer = Answer::No);

    // Answers for questions, keyed by their exact text. Cancel on a Yes/No question
    // counts as No.
    void SetAnswer(const std::string& question, Answer answer);
    // Input box results keyed by the exact prompt; nullopt cancels. Unconfigured input
    // boxes return their default text.
    void SetInputText(const std::string& prompt, std::optional<std::string> text);

    void ShowMessage(const std::string& text) override;
    Answer Ask(const std::string& text, QuestionButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText) override;
    void Beep() override;

private:
    void Report(const std::string& line) const;

    Sink sink_;
    Answer defaultAnswer_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::optional<std::string>> inputTexts_;
};

}  // namespace tarvedde
