#include "platform/rtf_text.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/ascii.h"
#include "platform/lines_model.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr int kTwipsPerPixel = 15;

struct NamedColor {
    const char* name;
    int red, green, blue;
};

// The named colours of the window's palette; the colour table always lists all of them,
// so a colour's index in a file never depends on the text.
constexpr std::array<NamedColor, 16> kColors{{
    {"black", 0, 0, 0},
    {"maroon", 128, 0, 0},
    {"green", 0, 128, 0},
    {"olive", 128, 128, 0},
    {"navy", 0, 0, 128},
    {"purple", 128, 0, 128},
    {"teal", 0, 128, 128},
    {"gray", 128, 128, 128},
    {"silver", 192, 192, 192},
    {"red", 255, 0, 0},
    {"lime", 0, 255, 0},
    {"yellow", 255, 255, 0},
    {"blue", 0, 0, 255},
    {"fuchsia", 255, 0, 255},
    {"aqua", 0, 255, 255},
    {"white", 255, 255, 255},
}};

// 1-based index in the colour table; an unknown name is black.
int ColorIndex(const std::string& name) {
    for (std::size_t i = 0; i < kColors.size(); ++i) {
        if (name == kColors[i].name) {
            return static_cast<int>(i) + 1;
        }
    }
    return 1;
}

std::string EscapedText(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : Utf8ToCp1252(utf8)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (byte >= 0x80 || byte < 0x20) {
            out += "\\'";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Utf8Of(std::uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsRtfDigit(char c) {
    return c >= '0' && c <= '9';
}

// Formatting and destination state of one group; a nested group starts as a copy.
struct GroupState {
    bool skip = false;
    bool colorTable = false;
    bool bold = false;
    bool underline = false;
    int color = 0;
    int halfPoints = 24;
    TextAlignment alignment = TextAlignment::Left;
    int indentTwips = 0;
    int unicodeSkip = 1;
};

class RtfReader {
public:
    RtfReader(std::string_view bytes, int defaultFontSize)
        : in_(bytes), defaultFontSize_(defaultFontSize) {}

    std::vector<RichParagraph> Read() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                stack_.push_back(state_);
                groupStart_ = true;
                continue;
            }
            const bool atGroupStart = groupStart_;
            groupStart_ = false;
            if (c == '}') {
                if (!stack_.empty()) {
                    state_ = stack_.back();
                    stack_.pop_back();
                }
            } else if (c == '\\') {
                ControlWord(atGroupStart);
            } else if (c == ';' && state_.colorTable) {
                colors_.push_back(pendingColor_);
                pendingColor_ = {};
            } else if (c != '\r' && c != '\n') {
                Text(std::string(1, c));
            }
        }
        if (!text_.empty()) {
            EndParagraph();
        }
        return std::move(paragraphs_);
    }

private:
    void ControlWord(bool atGroupStart) {
        if (pos_ >= in_.size()) {
            return;
        }
        const char c = in_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        std::string word;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) {
            word += in_[pos_++];
        }
        bool hasParam = false;
        int param = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && IsRtfDigit(in_[pos_])) {
            hasParam = true;
            param = param * 10 + (in_[pos_++] - '0');
            if (param > 1'000'000) {
                param = 1'000'000;
            }
        }
        if (negative) {
            param = -param;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') {
            ++pos_;
        }
        Apply(word, hasParam ? param : -1, hasParam, atGroupStart);
    }

    void ControlSymbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Text(std::string(1, c));
                break;
            case '\'': {
                const int high = pos_ < in_.size() ? HexDigitValue(in_[pos_]) : -1;
                const int low = pos_ + 1 < in_.size() ? HexDigitValue(in_[pos_ + 1]) : -1;
                if (high >= 0 && low >= 0) {
                    pos_ += 2;
                    Text(Cp1252ToUtf8(std::string(1, static_cast<char>(high * 16 + low))));
                }
                break;
            }
            case '~':
                Text("\xC2\xA0");
                break;
            case '_':
                Text("-");
                break;
            case '*':
                state_.skip = true;
                break;
            case '\r':
            case '\n':
                Paragraph();
                break;
            default:
                break;
        }
    }

    void Apply(const std::string& word, int param, bool hasParam, bool atGroupStart) {
        if (atGroupStart &&
            (word == "fonttbl" || word == "stylesheet" || word == "info" || word == "pict" ||
             word == "header" || word == "footer" || word == "object" || word == "listtable" ||
             word == "listoverridetable")) {
            state_.skip = true;
        } else if (word == "colortbl") {
            state_.colorTable = true;
            state_.skip = true;
        } else if (word == "red" || word == "green" || word == "blue") {
            const int value = hasParam ? param : 0;
            (word == "red"     ? pendingColor_.red
             : word == "green" ? pendingColor_.green
                               : pendingColor_.blue) = value;
        } else if (word == "par" || word == "line") {
            Paragraph();
        } else if (word == "pard") {
            state_.alignment = TextAlignment::Left;
            state_.indentTwips = 0;
        } else if (word == "plain") {
            state_.bold = false;
            state_.underline = false;
            state_.color = 0;
            state_.halfPoints = 24;
        } else if (word == "b") {
            state_.bold = !hasParam || param != 0;
        } else if (word == "ul") {
            state_.underline = !hasParam || param != 0;
        } else if (word == "ulnone") {
            state_.underline = false;
        } else if (word == "cf") {
            state_.color = hasParam ? param : 0;
        } else if (word == "fs") {
            state_.halfPoints = hasParam ? param : 24;
        } else if (word == "ql" || word == "qj") {
            state_.alignment = TextAlignment::Left;
        } else if (word == "qc") {
            state_.alignment = TextAlignment::Center;
        } else if (word == "qr") {
            state_.alignment = TextAlignment::Right;
        } else if (word == "li") {
            state_.indentTwips = hasParam ? param : 0;
        } else if (word == "uc") {
            state_.unicodeSkip = hasParam ? param : 1;
        } else if (word == "u" && hasParam) {
            Text(Utf8Of(static_cast<std::uint32_t>(param < 0 ? param + 65536 : param)));
            pendingSkip_ = state_.unicodeSkip;
        } else if (word == "tab") {
            Text("\t");
        }
    }

    void Text(const std::string& utf8) {
        if (state_.skip) {
            return;
        }
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        if (text_.empty()) {
            paragraphState_ = state_;
        }
        text_ += utf8;
    }

    void Paragraph() {
        if (state_.skip) {
            return;
        }
        if (text_.empty()) {
            paragraphState_ = state_;
        }
        EndParagraph();
    }

    void EndParagraph() {
        const GroupState& s = paragraphState_;
        TextAttributes attributes;
        attributes.bold = s.bold;
        attributes.underline = s.underline;
        attributes.alignment = s.alignment;
        attributes.indent = s.indentTwips / kTwipsPerPixel;
        attributes.color = ColorName(s.color);
        const int points = s.halfPoints / 2;
        attributes.fontSize = points == defaultFontSize_ ? 0 : points;
        paragraphs_.push_back({std::move(text_), attributes});
        text_.clear();
        pendingSkip_ = 0;
    }

    std::string ColorName(int index) const {
        if (index < 1 || static_cast<std::size_t>(index) >= colors_.size()) {
            return "black";
        }
        const NamedColor& c = colors_[static_cast<std::size_t>(index)];
        for (const NamedColor& known : kColors) {
            if (known.red == c.red && known.green == c.green && known.blue == c.blue) {
                return known.name;
            }
        }
        return "black";
    }

    std::string_view in_;
    int defaultFontSize_;
    std::size_t pos_ = 0;
    bool groupStart_ = false;
    GroupState state_;
    GroupState paragraphState_;
    std::vector<GroupState> stack_;
    std::vector<NamedColor> colors_;
    NamedColor pendingColor_{"", 0, 0, 0};
    std::string text_;
    int pendingSkip_ = 0;
    std::vector<RichParagraph> paragraphs_;
};

}  // namespace

std::string WriteRtf(const RichTextModel& text, int defaultFontSize) {
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n";
    out += "{\\colortbl ;";
    for (const NamedColor& c : kColors) {
        out += "\\red" + std::to_string(c.red) + "\\green" + std::to_string(c.green) + "\\blue" +
               std::to_string(c.blue) + ";";
    }
    out += "}\r\n\\viewkind4\\uc1\r\n";
    for (const RichParagraph& paragraph : text.Paragraphs()) {
        const TextAttributes& a = paragraph.attributes;
        out += "\\pard\\plain";
        out += a.alignment == TextAlignment::Center  ? "\\qc"
               : a.alignment == TextAlignment::Right ? "\\qr"
                                                     : "\\ql";
        out += "\\li" + std::to_string(a.indent * kTwipsPerPixel);
        const int points = a.fontSize > 0 ? a.fontSize : defaultFontSize;
        out += "\\f0\\fs" + std::to_string(points * 2);
        out += "\\cf" + std::to_string(ColorIndex(a.color));
        if (a.bold) {
            out += "\\b";
        }
        if (a.underline) {
            out += "\\ul";
        }
        out += ' ';
        out += EscapedText(paragraph.text);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

void ReadRtf(std::string_view bytes, int defaultFontSize, RichTextModel& text) {
    const TextAttributes current = text.Attributes();
    text.Clear();
    if (bytes.substr(0, 5) != "{\\rtf") {
        LinesModel lines;
        lines.SetText(Cp1252ToUtf8(bytes));
        text.SetAttributes(TextAttributes{});
        for (const std::string& line : lines.Lines()) {
            text.Append(line);
        }
    } else {
        for (RichParagraph& paragraph : RtfReader(bytes, defaultFontSize).Read()) {
            text.SetAttributes(paragraph.attributes);
            text.Append(std::move(paragraph.text));
        }
    }
    text.SetAttributes(current);
}

}  // namespace tarvedde
