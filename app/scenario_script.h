// The scenario script: one command per line, turned into typed commands before anything
// runs, so a malformed line stops a scenario before it touches the program directory.
// Lines hold blank-separated words and double-quoted texts; '#' outside quotes starts a
// comment. Quoted texts know the escapes \r \n \t \\ \" and \xHH (the Windows-1252
// character HH, held as UTF-8 like every text in memory). The verbs are a public
// interface: scenario files in the field depend on them, so they only ever grow.
// Every error names its line: "line N: ...".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/scenario_aqasys.h"
#include "engine/model/item_model.h"
#include "platform/operator.h"
#include "platform/result.h"

namespace tarvedde {

// Date-times are local day numbers (days since 1899-12-30).
struct ClockCommand {
    double localTime = 0.0;
};
struct SourceCommand {
    SourceKind kind = SourceKind::Dde;
};
struct StartCommand {};
// `set ITEM "TEXT"` publishes a text; `set ITEM 12.5` or `set ITEM true`, optionally
// followed by `quality Q`, is the OPC form with a typed value (`typed` set).
struct SetCommand {
    std::string item;
    std::string value;
    bool typed = false;
    std::optional<std::string> quality;
};
struct AdvanceCommand {
    std::int64_t ms = 0;
};
struct AdvanceToCommand {
    double localTime = 0.0;
};
// Either a button answer or, when `answer` is empty, the text for an input box.
struct AnswerCommand {
    std::optional<Answer> answer;
    std::string text;
};
struct MenuCommand {
    std::string name;
};
struct ClickCommand {
    std::string name;
};
struct ServerCommand {
    bool up = true;
};
struct KillCommand {};
struct TimeZoneCommand {
    std::string zone;
};
struct ClockStepCommand {
    std::int64_t ms = 0;
};

// `form NAME show`, `form NAME set CONTROL "VALUE"`, `form NAME call HANDLER`,
// `form NAME close`: the operator in a dialog (app/scenario_forms.h).
struct FormCommand {
    enum class Op { Show, Set, Call, Close };
    std::string form;
    Op op = Op::Show;
    std::string name;  // the control or the handler
    std::string value;
};

using ScenarioAction =
    std::variant<ClockCommand, SourceCommand, StartCommand, SetCommand, AdvanceCommand,
                 AdvanceToCommand, AnswerCommand, MenuCommand, ClickCommand, ServerCommand,
                 KillCommand, TimeZoneCommand, ClockStepCommand, FormCommand, AqasysCommand>;

struct ScenarioCommand {
    int line = 0;
    // The verb as written, for messages ("clock-step", "server down").
    std::string verb;
    ScenarioAction action;
};

// Fails at the first malformed line. The text is UTF-8; a leading byte-order mark and
// CR LF line ends are accepted.
Result<std::vector<ScenarioCommand>> ParseScenarioScript(std::string_view text);

// "250ms", "10s", "15m", "2h", "3d"; a leading '-' only with `allowNegative`. Fails on
// anything else, including a value beyond about 290 million years.
Result<std::int64_t> ParseDuration(std::string_view text, bool allowNegative);
// "YYYY-MM-DD" and "hh:mm:ss[.zzz]" to a day number; fails on a date or time that does
// not exist (2023-02-29, 24:00:00).
Result<double> ParseLocalDateTime(std::string_view date, std::string_view time);

}  // namespace tarvedde
