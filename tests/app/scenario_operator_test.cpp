#include <gtest/gtest.h>

#include "app/scenario_operator.h"

namespace tarvedde {
namespace {

AnswerCommand Button(Answer answer) {
    return AnswerCommand{answer, {}};
}

AnswerCommand Text(std::string text) {
    return AnswerCommand{std::nullopt, std::move(text)};
}

TEST(ScenarioOperator, OneQueueServesQuestionsAndInputBoxesInOrder) {
    ScenarioOperator person;
    person.Queue(Text("42"));
    person.Queue(Button(Answer::Cancel));
    person.Queue(Button(Answer::Yes));
    person.Queue(Button(Answer::Yes));
    person.Queue(Button(Answer::No));

    EXPECT_EQ(person.InputBox("c", "Wert:", "1"), "42");
    EXPECT_EQ(person.Ask("Speichern?", QuestionButtons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(person.Ask("Weiter?", QuestionButtons::YesNo), Answer::Yes);
    // An input box confirmed with "yes" keeps its default text; "no" cancels it.
    EXPECT_EQ(person.InputBox("c", "Intervall:", "60"), "60");
    EXPECT_EQ(person.InputBox("c", "Name:", "x"), std::nullopt);
    EXPECT_EQ(person.Pending(), 0u);
    EXPECT_EQ(person.Scripted().Transcript(),
              (std::vector<std::string>{"INPUT Wert: -> \"42\"", "QUESTION Speichern? -> Cancel",
                                        "QUESTION Weiter? -> Yes", "INPUT Intervall: -> \"60\"",
                                        "INPUT Name: -> Cancel"}));
}

TEST(ScenarioOperator, UnqueuedInteractionsTakeTheUnattendedDefaults) {
    ScenarioOperator person;
    EXPECT_EQ(person.Ask("Programmstart abbrechen ?", QuestionButtons::YesNo), Answer::Yes);
    EXPECT_EQ(person.Ask("Weiter?", QuestionButtons::YesNoCancel), Answer::No);
    EXPECT_EQ(person.InputBox("c", "Intervall:", "60"), "60");
    // A text given to a question is used up; the question gets its default.
    person.Queue(Text("ja"));
    person.Queue(Button(Answer::Yes));
    EXPECT_EQ(person.Ask("Weiter?", QuestionButtons::YesNo), Answer::No);
    EXPECT_EQ(person.Ask("Weiter?", QuestionButtons::YesNo), Answer::Yes);
    // Cancel on a question without a Cancel button counts as No.
    person.Queue(Button(Answer::Cancel));
    EXPECT_EQ(person.Ask("Weiter?", QuestionButtons::YesNo), Answer::No);
    person.ShowMessage("Hinweis");
    person.Beep();
    EXPECT_EQ(person.Scripted().Transcript().back(), "BEEP");
    EXPECT_EQ(person.Scripted().Transcript().end()[-2], "MESSAGE Hinweis");
}

}  // namespace
}  // namespace tarvedde
