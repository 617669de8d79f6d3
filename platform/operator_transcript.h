// One line per operator interaction, the same for the unattended log and the scripted
// transcript: "MESSAGE <text>", "QUESTION <text> -> Yes|No|Cancel",
// "INPUT <prompt> -> \"<text>\"" or "INPUT <prompt> -> Cancel", "BEEP". CR and LF inside
// texts appear as the two characters \r and \n, so an interaction is always one line.
#pragma once

#include <optional>
#include <string>

#include "platform/operator.h"

namespace tarvedde {

std::string MessageLine(const std::string& text);
std::string QuestionLine(const std::string& text, Answer answer);
std::string InputLine(const std::string& prompt, const std::optional<std::string>& text);
std::string BeepLine();

// A Yes/No question has no Cancel button: Cancel counts as No there.
Answer FitToButtons(Answer answer, QuestionButtons buttons);

}  // namespace tarvedde
