// The person at the workstation: message boxes, Yes/No questions, input boxes and the
// beep. Unattended installations and tests answer from configuration or a script.
#pragma once

#include <optional>
#include <string>

namespace tarvedde {

enum class Answer { Yes, No, Cancel };

enum class QuestionButtons { YesNo, YesNoCancel };

class Operator {
public:
    virtual ~Operator() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    virtual Answer Ask(const std::string& text, QuestionButtons buttons) = 0;
    // nullopt when the operator cancels.
    virtual std::optional<std::string> InputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& defaultText) = 0;
    virtual void Beep() = 0;
};

}  // namespace tarvedde
