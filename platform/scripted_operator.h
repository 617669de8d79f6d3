// The operator of tests and the scenario runner: questions and input boxes take queued
// answers in order and fall back to an unattended operator's configured defaults when
// the queue is empty. Every interaction is kept as one transcript line (see
// operator_transcript.h), so a test compares what the operator saw, in order.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/operator.h"
#include "platform/unattended_operator.h"

namespace tarvedde {

class ScriptedOperator : public Operator {
public:
    explicit ScriptedOperator(Answer defaultAnswer = Answer::No);

    // Cancel queued for a Yes/No question counts as No.
    void QueueAnswer(Answer answer);
    void QueueText(std::string text);
    void QueueInputCancel();
    std::size_t PendingAnswers() const { return answers_.size(); }
    std::size_t PendingTexts() const { return texts_.size(); }

    // The answers used once the queues are empty.
    UnattendedOperator& Fallback() { return fallback_; }
    // Receives each transcript line as it is added.
    void SetLineSink(std::function<void(const std::string&)> sink) { lineSink_ = std::move(sink); }
    const std::vector<std::string>& Transcript() const { return transcript_; }

    void ShowMessage(const std::string& text) override;
    Answer Ask(const std::string& text, QuestionButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& defaultText) override;
    void Beep() override;

private:
    void Record(std::string line);

    UnattendedOperator fallback_;
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> texts_;
    std::vector<std::string> transcript_;
    std::function<void(const std::string&)> lineSink_;
};

}  // namespace tarvedde
