#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scripted_operator.h"
#include "platform/unattended_operator.h"

namespace tarvedde {
namespace {

using Lines = std::vector<std::string>;

TEST(UnattendedOperator, AnswersFromConfigurationAndReportsEachInteraction) {
    Lines reported;
    UnattendedOperator op([&](const std::string& line) { reported.push_back(line); }, Answer::Yes);
    op.SetAnswer("Programm beenden?", Answer::No);
    op.SetInputText("Passwort:", "geheim");
    op.SetInputText("Kommentar:", std::nullopt);

    op.ShowMessage("Datei fehlt");
    EXPECT_EQ(op.Ask("Programm beenden?", QuestionButtons::YesNo), Answer::No);
    EXPECT_EQ(op.Ask("Speichern?", QuestionButtons::YesNoCancel), Answer::Yes);
    EXPECT_EQ(op.InputBox("Anmeldung", "Passwort:", "x"), "geheim");
    EXPECT_EQ(op.InputBox("Notiz", "Kommentar:", "y"), std::nullopt);
    EXPECT_EQ(op.InputBox("Intervall", "Sekunden:", "60"), "60");
    op.Beep();

    EXPECT_EQ(reported, (Lines{"MESSAGE Datei fehlt", "QUESTION Programm beenden? -> No",
                               "QUESTION Speichern? -> Yes", "INPUT Passwort: -> \"geheim\"",
                               "INPUT Kommentar: -> Cancel", "INPUT Sekunden: -> \"60\"", "BEEP"}));
}

TEST(UnattendedOperator, CancelCountsAsNoWhereThereIsNoCancelButton) {
    UnattendedOperator op(nullptr, Answer::Cancel);
    EXPECT_EQ(op.Ask("Weiter?", QuestionButtons::YesNo), Answer::No);
    EXPECT_EQ(op.Ask("Weiter?", QuestionButtons::YesNoCancel), Answer::Cancel);
}

TEST(ScriptedOperator, QueuedAnswersFirstThenTheFallback) {
    ScriptedOperator op(Answer::Yes);
    op.Fallback().SetAnswer("Löschen?", Answer::No);
    op.QueueAnswer(Answer::Cancel);
    op.QueueAnswer(Answer::Cancel);
    op.QueueText("42");
    op.QueueInputCancel();

    EXPECT_EQ(op.Ask("Löschen?", QuestionButtons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(op.Ask("Löschen?", QuestionButtons::YesNo), Answer::No);
    EXPECT_EQ(op.PendingAnswers(), 0u);
    EXPECT_EQ(op.Ask("Löschen?", QuestionButtons::YesNoCancel), Answer::No);
    EXPECT_EQ(op.Ask("Drucken?", QuestionButtons::YesNo), Answer::Yes);

    EXPECT_EQ(op.InputBox("c", "Wert:", "1"), "42");
    EXPECT_EQ(op.InputBox("c", "Wert:", "1"), std::nullopt);
    EXPECT_EQ(op.PendingTexts(), 0u);
    EXPECT_EQ(op.InputBox("c", "Wert:", "1"), "1");
}

TEST(ScriptedOperator, TranscriptHasOneLinePerInteraction) {
    ScriptedOperator op;
    Lines streamed;
    op.SetLineSink([&](const std::string& line) { streamed.push_back(line); });
    op.QueueText("a\r\nb");
    op.ShowMessage("Zeile 1\r\nZeile 2\n");
    op.Ask("Wirklich?\r\n", QuestionButtons::YesNo);
    op.InputBox("Titel", "Text\neingeben:", "");
    op.InputBox("Titel", "Leer:", "");
    op.Beep();
    const Lines expected = {"MESSAGE Zeile 1\\r\\nZeile 2\\n", "QUESTION Wirklich?\\r\\n -> No",
                            "INPUT Text\\neingeben: -> \"a\\r\\nb\"", "INPUT Leer: -> \"\"",
                            "BEEP"};
    EXPECT_EQ(op.Transcript(), expected);
    EXPECT_EQ(streamed, expected);
}

}  // namespace
}  // namespace tarvedde
