#include "platform/lines_model.h"

namespace tarvedde {

void LinesModel::Append(std::string line) {
    lines_.push_back(std::move(line));
    Changed();
}

void LinesModel::Clear() {
    if (lines_.empty()) {
        return;
    }
    lines_.clear();
    Changed();
}

void LinesModel::SetText(std::string_view text) {
    lines_.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines_.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines_.emplace_back(text.substr(start));
    }
    Changed();
}

std::string LinesModel::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void LinesModel::Changed() const {
    if (listener_) {
        listener_();
    }
}

}  // namespace tarvedde
