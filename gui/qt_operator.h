// The operator's message boxes, questions and input boxes as Qt dialogs.
#pragma once

#include <QWidget>

#include "platform/operator.h"

namespace tarvedde {

class QtOperator final : public Operator {
public:
    explicit QtOperator(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const std::string& text) override;
    Answer Ask(const std::string& text, QuestionButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText) override;
    void Beep() override;

private:
    QWidget* parent_;
};

}  // namespace tarvedde
