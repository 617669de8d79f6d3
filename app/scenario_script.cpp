// Scenario scripts are small and written by hand: the parser favours exact messages over
// speed, and accepts nothing it would have to guess about.
#include "app/scenario_script.h"
#include "platform/ascii.h"

#include <charconv>
#include <functional>
#include <limits>
#include <map>

#include "app/command_line.h"
#include "platform/date_time.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

using Tokens = std::vector<Token>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads the escape after the backslash at line[pos - 1]; advances pos past it.
Result<std::string> ReadEscape(std::string_view line, std::size_t& pos) {
    if (pos >= line.size()) {
        return Error{"unterminated text"};
    }
    const char c = line[pos++];
    switch (c) {
        case 'r':
            return std::string("\r");
        case 'n':
            return std::string("\n");
        case 't':
            return std::string("\t");
        case '\\':
            return std::string("\\");
        case '"':
            return std::string("\"");
        case 'x':
            break;
        default:
            return Error{std::string("unknown escape '\\") + c + "'"};
    }
    const int high = pos < line.size() ? HexDigitValue(line[pos]) : -1;
    const int low = pos + 1 < line.size() ? HexDigitValue(line[pos + 1]) : -1;
    if (high < 0 || low < 0) {
        return Error{"\\x needs two hexadecimal digits"};
    }
    pos += 2;
    return Cp1252ToUtf8(std::string(1, static_cast<char>(high * 16 + low)));
}

// Reads the quoted text whose opening quote is at line[pos]; advances pos past the
// closing quote.
Result<std::string> ReadQuoted(std::string_view line, std::size_t& pos) {
    std::string text;
    ++pos;
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"') {
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        auto escaped = ReadEscape(line, pos);
        if (!escaped) {
            return escaped.error();
        }
        text += escaped.value();
    }
    return Error{"unterminated text"};
}

Result<Tokens> Tokenize(std::string_view line) {
    Tokens tokens;
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        if (pos >= line.size() || line[pos] == '#') {
            return tokens;
        }
        Token token;
        if (line[pos] == '"') {
            auto text = ReadQuoted(line, pos);
            if (!text) {
                return text.error();
            }
            token = Token{std::move(text).value(), true};
            if (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#') {
                return Error{"a blank must follow the closing quote"};
            }
        } else {
            const std::size_t start = pos;
            while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#' &&
                   line[pos] != '"') {
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                return Error{"a quote must start a word"};
            }
            token.text = std::string(line.substr(start, pos - start));
        }
        tokens.push_back(std::move(token));
    }
}

// Digits only, all of `text`, fitting an int64.
std::optional<std::int64_t> ParseDigits(std::string_view text) {
    std::int64_t value = 0;
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Exactly `width` digits.
std::optional<int> ParseField(std::string_view text, std::size_t width) {
    if (text.size() != width) {
        return std::nullopt;
    }
    const auto value = ParseDigits(text);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

bool IsTypedValue(const std::string& text) {
    if (text == "true" || text == "false") {
        return true;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

Status ExpectCount(const Tokens& tokens, std::size_t count, const char* usage) {
    if (tokens.size() != count) {
        return Error{std::string("expected '") + usage + "'"};
    }
    return {};
}

Status ExpectWords(const Tokens& tokens, const char* usage) {
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].quoted) {
            return Error{std::string("expected '") + usage + "'"};
        }
    }
    return {};
}

using VerbParser = std::function<Result<ScenarioAction>(const Tokens&)>;

Result<ScenarioAction> ParseDateTimeTokens(const Tokens& tokens, const char* usage, bool clock) {
    if (auto st = ExpectCount(tokens, 3, usage); !st) {
        return st.error();
    }
    if (auto st = ExpectWords(tokens, usage); !st) {
        return st.error();
    }
    auto moment = ParseLocalDateTime(tokens[1].text, tokens[2].text);
    if (!moment) {
        return moment.error();
    }
    if (clock) {
        return ScenarioAction{ClockCommand{moment.value()}};
    }
    return ScenarioAction{AdvanceToCommand{moment.value()}};
}

Result<ScenarioAction> ParseDurationTokens(const Tokens& tokens, const char* usage, bool step) {
    if (auto st = ExpectCount(tokens, 2, usage); !st) {
        return st.error();
    }
    if (auto st = ExpectWords(tokens, usage); !st) {
        return st.error();
    }
    auto ms = ParseDuration(tokens[1].text, step);
    if (!ms) {
        return ms.error();
    }
    if (step) {
        return ScenarioAction{ClockStepCommand{ms.value()}};
    }
    return ScenarioAction{AdvanceCommand{ms.value()}};
}

Result<ScenarioAction> ParseSource(const Tokens& tokens) {
    constexpr char kUsage[] = "source dde|opc|aqasys";
    if (auto st = ExpectCount(tokens, 2, kUsage); !st) {
        return st.error();
    }
    const auto kind = tokens[1].quoted ? std::nullopt : ParseSourceKind(tokens[1].text);
    if (!kind) {
        return Error{std::string("expected '") + kUsage + "'"};
    }
    return ScenarioAction{SourceCommand{*kind}};
}

Result<ScenarioAction> ParseSet(const Tokens& tokens) {
    constexpr char kUsage[] = "set ITEM \"TEXT\"";
    if (tokens.size() != 3 && tokens.size() != 5) {
        return Error{std::string("expected '") + kUsage + "'"};
    }
    SetCommand command{tokens[1].text, tokens[2].text, !tokens[2].quoted, std::nullopt};
    if (command.item.empty()) {
        return Error{"the item name is empty"};
    }
    if (command.typed && !IsTypedValue(command.value)) {
        return Error{"'" + command.value + "' is neither a quoted text, a number nor true/false"};
    }
    if (tokens.size() == 5) {
        if (tokens[3].quoted || tokens[3].text != "quality" || tokens[4].quoted) {
            return Error{"expected 'quality Q' after the value"};
        }
        command.quality = tokens[4].text;
    }
    return ScenarioAction{std::move(command)};
}

Result<ScenarioAction> ParseAnswer(const Tokens& tokens) {
    constexpr char kUsage[] = "answer yes|no|cancel|\"text\"";
    if (auto st = ExpectCount(tokens, 2, kUsage); !st) {
        return st.error();
    }
    const Token& token = tokens[1];
    if (token.quoted) {
        return ScenarioAction{AnswerCommand{std::nullopt, token.text}};
    }
    static const std::map<std::string, Answer, std::less<>> kAnswers = {
        {"yes", Answer::Yes}, {"no", Answer::No}, {"cancel", Answer::Cancel}};
    const auto found = kAnswers.find(token.text);
    if (found == kAnswers.end()) {
        return Error{std::string("expected '") + kUsage + "'"};
    }
    return ScenarioAction{AnswerCommand{found->second, {}}};
}

// A single word argument: menu and button names, zone names.
Result<std::string> ParseName(const Tokens& tokens, const char* usage) {
    if (auto st = ExpectCount(tokens, 2, usage); !st) {
        return st.error();
    }
    if (auto st = ExpectWords(tokens, usage); !st) {
        return st.error();
    }
    return tokens[1].text;
}

Result<ScenarioAction> ParseServer(const Tokens& tokens) {
    constexpr char kUsage[] = "server down|up";
    if (auto st = ExpectCount(tokens, 2, kUsage); !st) {
        return st.error();
    }
    if (tokens[1].quoted || (tokens[1].text != "up" && tokens[1].text != "down")) {
        return Error{std::string("expected '") + kUsage + "'"};
    }
    return ScenarioAction{ServerCommand{tokens[1].text == "up"}};
}

Result<ScenarioAction> ParseForm(const Tokens& tokens) {
    constexpr char kUsage[] =
        "form NAME show|close', 'form NAME set CONTROL \"VALUE\"' or 'form NAME call HANDLER";
    static const std::map<std::string, std::pair<FormCommand::Op, std::size_t>, std::less<>> kOps =
        {{"show", {FormCommand::Op::Show, 3}},
         {"close", {FormCommand::Op::Close, 3}},
         {"set", {FormCommand::Op::Set, 5}},
         {"call", {FormCommand::Op::Call, 4}}};
    const auto op = tokens.size() < 3 || tokens[2].quoted ? kOps.end() : kOps.find(tokens[2].text);
    if (op == kOps.end() || tokens.size() != op->second.second || tokens[1].quoted ||
        (tokens.size() > 3 && tokens[3].quoted)) {
        return Error{std::string("expected '") + kUsage + "'"};
    }
    FormCommand command{tokens[1].text, op->second.first, {}, {}};
    if (tokens.size() > 3) {
        command.name = tokens[3].text;
    }
    if (tokens.size() > 4) {
        command.value = tokens[4].text;
    }
    return ScenarioAction{std::move(command)};
}

template <class Command>
VerbParser NoArguments(const char* verb) {
    return [verb](const Tokens& tokens) -> Result<ScenarioAction> {
        if (auto st = ExpectCount(tokens, 1, verb); !st) {
            return st.error();
        }
        return ScenarioAction{Command{}};
    };
}

template <class Command>
VerbParser OneName(const char* usage) {
    return [usage](const Tokens& tokens) -> Result<ScenarioAction> {
        auto name = ParseName(tokens, usage);
        if (!name) {
            return name.error();
        }
        return ScenarioAction{Command{std::move(name).value()}};
    };
}

VerbParser Aqasys(const char* verb) {
    return [verb](const Tokens& tokens) -> Result<ScenarioAction> {
        std::vector<std::pair<std::string, bool>> words;
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            words.emplace_back(tokens[i].text, tokens[i].quoted);
        }
        auto command = ParseAqasysVerb(verb, words);
        if (!command) {
            return command.error();
        }
        return ScenarioAction{std::move(command).value()};
    };
}

const std::map<std::string, VerbParser, std::less<>>& VerbParsers() {
    static const std::map<std::string, VerbParser, std::less<>> kParsers = {
        {"clock",
         [](const Tokens& t) { return ParseDateTimeTokens(t, "clock YYYY-MM-DD hh:mm:ss", true); }},
        {"source", ParseSource},
        {"start", NoArguments<StartCommand>("start")},
        {"set", ParseSet},
        {"advance",
         [](const Tokens& t) { return ParseDurationTokens(t, "advance DURATION", false); }},
        {"advance-to",
         [](const Tokens& t) {
             return ParseDateTimeTokens(t, "advance-to YYYY-MM-DD hh:mm:ss", false);
         }},
        {"answer", ParseAnswer},
        {"menu", OneName<MenuCommand>("menu NAME")},
        {"click", OneName<ClickCommand>("click NAME")},
        {"server", ParseServer},
        {"kill", NoArguments<KillCommand>("kill")},
        {"timezone", OneName<TimeZoneCommand>("timezone ZONE")},
        {"clock-step",
         [](const Tokens& t) { return ParseDurationTokens(t, "clock-step DURATION", true); }},
        {"form", ParseForm},
        {"request-file", Aqasys("request-file")},
        {"date-field", Aqasys("date-field")},
    };
    return kParsers;
}

// Empty when the line holds no command.
Result<std::optional<ScenarioCommand>> ParseLine(std::string_view line, int number) {
    auto tokens = Tokenize(line);
    if (!tokens) {
        return tokens.error();
    }
    if (tokens.value().empty()) {
        return std::optional<ScenarioCommand>();
    }
    const Token& verb = tokens.value().front();
    const auto& parsers = VerbParsers();
    const auto parser = verb.quoted ? parsers.end() : parsers.find(verb.text);
    if (parser == parsers.end()) {
        return Error{"unknown verb '" + verb.text + "'"};
    }
    auto action = parser->second(tokens.value());
    if (!action) {
        return action.error();
    }
    std::string verbText = verb.text;
    if (std::holds_alternative<ServerCommand>(action.value())) {
        verbText += " " + tokens.value()[1].text;
    }
    return std::optional<ScenarioCommand>(
        ScenarioCommand{number, std::move(verbText), std::move(action).value()});
}

}  // namespace

Result<std::int64_t> ParseDuration(std::string_view text, bool allowNegative) {
    const std::string shown(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        if (!allowNegative) {
            return Error{"the duration '" + shown + "' must not be negative"};
        }
        text.remove_prefix(1);
    }
    static const std::pair<std::string_view, std::int64_t> kUnits[] = {
        {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
    for (const auto& [unit, factor] : kUnits) {
        if (text.size() <= unit.size() || !text.ends_with(unit)) {
            continue;
        }
        const auto count = ParseDigits(text.substr(0, text.size() - unit.size()));
        if (!count || *count > std::numeric_limits<std::int64_t>::max() / factor) {
            break;
        }
        return negative ? -*count * factor : *count * factor;
    }
    return Error{"bad duration '" + shown + "' (a whole number with ms, s, m, h or d)"};
}

Result<double> ParseLocalDateTime(std::string_view date, std::string_view time) {
    const Error bad{"bad date-time '" + std::string(date) + " " + std::string(time) +
                    "' (YYYY-MM-DD hh:mm:ss[.zzz])"};
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') {
        return bad;
    }
    const auto year = ParseField(date.substr(0, 4), 4);
    const auto month = ParseField(date.substr(5, 2), 2);
    const auto day = ParseField(date.substr(8, 2), 2);
    const bool hasMs = time.size() == 12 && time[8] == '.';
    if ((time.size() != 8 && !hasMs) || time[2] != ':' || time[5] != ':') {
        return bad;
    }
    const auto hour = ParseField(time.substr(0, 2), 2);
    const auto minute = ParseField(time.substr(3, 2), 2);
    const auto second = ParseField(time.substr(6, 2), 2);
    const auto ms = hasMs ? ParseField(time.substr(9, 3), 3) : std::optional<int>(0);
    if (!year || !month || !day || !hour || !minute || !second || !ms ||
        !IsValidDate(*year, *month, *day) || !IsValidTime(*hour, *minute, *second, *ms)) {
        return bad;
    }
    return EncodeDateTime(*year, *month, *day, *hour, *minute, *second, *ms);
}

Result<std::vector<ScenarioCommand>> ParseScenarioScript(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<ScenarioCommand> commands;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        auto command = ParseLine(line, number);
        if (!command) {
            return Error{"line " + std::to_string(number) + ": " + command.error().message};
        }
        if (command.value()) {
            commands.push_back(std::move(*command.value()));
        }
    }
    return commands;
}

}  // namespace tarvedde
