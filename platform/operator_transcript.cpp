// Line formats of the operator log and transcript.
#include "platform/operator_transcript.h"

namespace tarvedde {
namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

const char* AnswerName(Answer answer) {
    switch (answer) {
        case Answer::Yes:
            return "Yes";
        case Answer::No:
            return "No";
        case Answer::Cancel:
            break;
    }
    return "Cancel";
}

}  // namespace

std::string MessageLine(const std::string& text) {
    return "MESSAGE " + Escaped(text);
}

std::string QuestionLine(const std::string& text, Answer answer) {
    return "QUESTION " + Escaped(text) + " -> " + AnswerName(answer);
}

std::string InputLine(const std::string& prompt, const std::optional<std::string>& text) {
    const std::string result = text ? "\"" + Escaped(*text) + "\"" : std::string("Cancel");
    return "INPUT " + Escaped(prompt) + " -> " + result;
}

std::string BeepLine() {
    return "BEEP";
}

Answer FitToButtons(Answer answer, QuestionButtons buttons) {
    return answer == Answer::Cancel && buttons == QuestionButtons::YesNo ? Answer::No : answer;
}

}  // namespace tarvedde
