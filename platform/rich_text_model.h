// A rich text the engine owns (the statistics window's day protocol): paragraphs with
// the few attributes the program uses. The view renders it; platform/rtf_text saves and loads it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvedde {

enum class TextAlignment { Left, Center, Right };

struct TextAttributes {
    bool bold = false;
    bool underline = false;
    std::string color = "black";  // "black", "blue", "red", "green", ...
    TextAlignment alignment = TextAlignment::Left;
    int indent = 0;
    int fontSize = 0;  // 0: the text's default size
    bool operator==(const TextAttributes&) const = default;
};

struct RichParagraph {
    std::string text;
    TextAttributes attributes;
};

class RichTextModel {
public:
    // New paragraphs take the current attributes, as text typed into a rich edit does.
    void SetAttributes(TextAttributes attributes) { current_ = std::move(attributes); }
    const TextAttributes& Attributes() const { return current_; }
    void Append(std::string text) {
        paragraphs_.push_back({std::move(text), current_});
        Changed();
    }
    void Clear() {
        paragraphs_.clear();
        Changed();
    }
    const std::vector<RichParagraph>& Paragraphs() const { return paragraphs_; }
    void SetListener(std::function<void()> listener) { listener_ = std::move(listener); }
    // Grows with every change: whoever saves the text can tell whether it changed since.
    std::uint64_t Revision() const { return revision_; }

private:
    void Changed() {
        ++revision_;
        if (listener_) {
            listener_();
        }
    }

    std::vector<RichParagraph> paragraphs_;
    TextAttributes current_;
    std::function<void()> listener_;
    std::uint64_t revision_ = 0;
};

}  // namespace tarvedde
