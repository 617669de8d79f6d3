#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "app/scenario_script.h"
#include "platform/date_time.h"

namespace tarvedde {
namespace {

// The single command of a one-line script; fails the test when the line does not parse.
ScenarioCommand One(const std::string& line) {
    auto parsed = ParseScenarioScript(line);
    EXPECT_TRUE(parsed.ok()) << line << ": " << (parsed.ok() ? "" : parsed.error().message);
    if (!parsed.ok() || parsed.value().size() != 1) {
        ADD_FAILURE() << line << " did not give exactly one command";
        return ScenarioCommand{0, "", KillCommand{}};
    }
    return parsed.value().front();
}

template <class Command>
Command As(const std::string& line) {
    const ScenarioCommand command = One(line);
    const Command* typed = std::get_if<Command>(&command.action);
    if (typed == nullptr) {
        ADD_FAILURE() << line << " gave another command";
        return Command{};
    }
    return *typed;
}

std::string ErrorOf(const std::string& script) {
    auto parsed = ParseScenarioScript(script);
    return parsed.ok() ? std::string("<parsed>") : parsed.error().message;
}

// The runner's tests drive every verb through the parser; these forms they do not use.
TEST(ScenarioScript, VerbFormsTheRunnerTestsDoNotUse) {
    EXPECT_EQ(As<ClockCommand>("clock 2024-12-31 23:59:58.250").localTime,
              EncodeDateTime(2024, 12, 31, 23, 59, 58, 250));
    EXPECT_EQ(As<SourceCommand>("source aqasys").kind, SourceKind::Aqasys);
    EXPECT_EQ(As<SourceCommand>("source dde").kind, SourceKind::Dde);
    EXPECT_EQ(As<AnswerCommand>("answer cancel").answer, Answer::Cancel);
    const AnswerCommand text = As<AnswerCommand>("answer \"no\"");
    EXPECT_FALSE(text.answer.has_value());
    EXPECT_EQ(text.text, "no");
    EXPECT_EQ(One("server down").verb, "server down");
    EXPECT_EQ(One("clock-step 5s").verb, "clock-step");
}

TEST(ScenarioScript, SetTakesATextOrATypedValueWithQuality) {
    const SetCommand text = As<SetCommand>("set Zulauf.Q \"12,5\"");
    EXPECT_EQ(text.item, "Zulauf.Q");
    EXPECT_EQ(text.value, "12,5");
    EXPECT_FALSE(text.typed);
    EXPECT_FALSE(text.quality.has_value());
    const SetCommand blanks = As<SetCommand>("set \"Becken 1 O2\" \"\"");
    EXPECT_EQ(blanks.item, "Becken 1 O2");
    EXPECT_EQ(blanks.value, "");
    const SetCommand number = As<SetCommand>("set Tag.1 -12.5e3 quality 192");
    EXPECT_TRUE(number.typed);
    EXPECT_EQ(number.value, "-12.5e3");
    EXPECT_EQ(number.quality, "192");
    EXPECT_TRUE(As<SetCommand>("set Pumpe.An true").typed);
    EXPECT_TRUE(As<SetCommand>("set Pumpe.An false").typed);
    // Quoted texts know their escapes.
    EXPECT_EQ(As<SetCommand>(R"(set A "a\r\nb\tc\\d\"e")").value, "a\r\nb\tc\\d\"e");
    EXPECT_EQ(As<SetCommand>(R"(set A "\x41\x7e")").value, "A~");
    // \xHH is the Windows-1252 character, held as UTF-8.
    EXPECT_EQ(As<SetCommand>(R"(set A "\xE4\xb0\x80")").value, "ä°€");
    EXPECT_EQ(As<SetCommand>(R"(set A "\x00")").value, std::string(1, '\0'));
}

TEST(ScenarioScript, CommentsBlankLinesAndLineEnds) {
    const std::string script =
        "\xEF\xBB\xBF# a whole-line comment\r\n"
        "\r\n"
        "   \t \n"
        "start # after a command\n"
        "set \"A#1\" \"x # y\"#directly after a text\n"
        "advance 1s";
    auto parsed = ParseScenarioScript(script);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    ASSERT_EQ(parsed.value().size(), 3u);
    EXPECT_EQ(parsed.value()[0].line, 4);
    EXPECT_EQ(parsed.value()[1].line, 5);
    EXPECT_EQ(std::get<SetCommand>(parsed.value()[1].action).item, "A#1");
    EXPECT_EQ(std::get<SetCommand>(parsed.value()[1].action).value, "x # y");
    EXPECT_EQ(parsed.value()[2].line, 6);
    EXPECT_TRUE(ParseScenarioScript("").value().empty());
}

TEST(ScenarioScript, DurationsInEveryUnitAndNothingGuessed) {
    for (const auto& [text, ms] : {std::pair<const char*, std::int64_t>{"250ms", 250},
                                   {"10s", 10'000},
                                   {"15m", 900'000},
                                   {"2h", 7'200'000},
                                   {"3d", 259'200'000},
                                   {"0s", 0}}) {
        EXPECT_EQ(ParseDuration(text, false).value(), ms) << text;
    }
    EXPECT_EQ(ParseDuration("-90m", true).value(), -5'400'000);
    for (const char* bad :
         {"", "10", "s", "ms", "1.5s", "10 s", "+5s", "5sec", "--1h", "1h30m", "-", "0x10s"}) {
        EXPECT_FALSE(ParseDuration(bad, true).ok()) << bad;
    }
    // The largest whole-day count that fits in milliseconds, and one more.
    const std::int64_t maxDays = std::numeric_limits<std::int64_t>::max() / 86'400'000;
    EXPECT_TRUE(ParseDuration(std::to_string(maxDays) + "d", false).ok());
    EXPECT_FALSE(ParseDuration(std::to_string(maxDays + 1) + "d", false).ok());
}

TEST(ScenarioScript, DateTimesMustExist) {
    EXPECT_TRUE(ParseLocalDateTime("2024-02-29", "00:00:00").ok());
    EXPECT_EQ(ParseLocalDateTime("2024-03-05", "23:59:59.999").value(),
              EncodeDateTime(2024, 3, 5, 23, 59, 59, 999));
    for (const char* time : {"24:00:00", "07:60:00", "7:00:00", "07:00", "07:00:00.5",
                             "07:00:00.0000", "07-00-00", "07:00:00,000"}) {
        EXPECT_FALSE(ParseLocalDateTime("2024-03-05", time).ok()) << time;
    }
    for (const char* date :
         {"2023-02-29", "2024-3-5", "24-03-05", "2024/03/05", "2024-13-01", "2024-00-10"}) {
        EXPECT_FALSE(ParseLocalDateTime(date, "07:00:00").ok()) << date;
    }
}

// Every error names its line.
TEST(ScenarioScript, MalformedLinesAreRefusedWithTheirReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"start\n\n# c\nadvanse 1s\n", "line 4: unknown verb 'advanse'"},
        {"start\r\nstart now\r\n", "line 2: expected 'start'"},
        {"\"start\"", "line 1: unknown verb 'start'"},
        {"Start", "line 1: unknown verb 'Start'"},
        {"source modbus", "line 1: expected 'source dde|opc|aqasys'"},
        {"answer maybe", "line 1: expected 'answer yes|no|cancel|\"text\"'"},
        {"menu", "line 1: expected 'menu NAME'"},
        {"click \"btStartDDE\"", "line 1: expected 'click NAME'"},
        {"server sideways", "line 1: expected 'server down|up'"},
        {"kill -9", "line 1: expected 'kill'"},
        {"timezone Europe/Berlin UTC", "line 1: expected 'timezone ZONE'"},
        {"advance -1s", "line 1: the duration '-1s' must not be negative"},
        {"advance 5x", "line 1: bad duration '5x' (a whole number with ms, s, m, h or d)"},
        {"clock 2024-03-05", "line 1: expected 'clock YYYY-MM-DD hh:mm:ss'"},
        {"advance-to 2024-03-05 25:00:00",
         "line 1: bad date-time '2024-03-05 25:00:00' (YYYY-MM-DD hh:mm:ss[.zzz])"},
        {"set Tag.1 12,5", "line 1: '12,5' is neither a quoted text, a number nor true/false"},
        {"set Tag.1 1 qualitaet 192", "line 1: expected 'quality Q' after the value"},
        {"set Tag.1", "line 1: expected 'set ITEM \"TEXT\"'"},
        {"set \"\" \"1\"", "line 1: the item name is empty"},
        {R"(set A "\q")", "line 1: unknown escape '\\q'"},
        {R"(set A "\xG1")", "line 1: \\x needs two hexadecimal digits"},
        {R"(set A "\x4")", "line 1: \\x needs two hexadecimal digits"},
        {R"(set A "abc)", "line 1: unterminated text"},
        {R"(set A "abc\")", "line 1: unterminated text"},
        {R"(set A "a"b)", "line 1: a blank must follow the closing quote"},
        {R"(set A b"c")", "line 1: a quote must start a word"},
        {"start\nform TFo_Zaehler set lbDDE",
         "line 2: expected 'form NAME show|close', 'form NAME set CONTROL \"VALUE\"' or 'form "
         "NAME call HANDLER'"},
    };
    for (const auto& [script, message] : cases) {
        EXPECT_EQ(ErrorOf(script), message) << script;
    }
}

}  // namespace
}  // namespace tarvedde
