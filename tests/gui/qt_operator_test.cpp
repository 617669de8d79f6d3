#include "gui/qt_operator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "tests/gui/qt_application.h"

namespace tarvedde {
namespace {

// Answers the question box that is about to open with the button captioned `caption`,
// recording every caption it offered.
void ClickWhenShown(const QString& caption, QStringList& offered) {
    QTimer::singleShot(0, [caption, &offered] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons()) {
            offered << button->text();
            if (button->text() == caption) {
                button->click();
            }
        }
    });
}

TEST(QtOperatorTest, QuestionsOfferGermanButtonsAndReportTheOneClicked) {
    testing::EnsureQtApplication();
    QtOperator op;
    struct Case {
        QuestionButtons buttons;
        QString click;
        Answer expected;
        QStringList offered;
    };
    const Case cases[] = {
        {QuestionButtons::YesNo, "Ja", Answer::Yes, {"Ja", "Nein"}},
        {QuestionButtons::YesNo, "Nein", Answer::No, {"Ja", "Nein"}},
        {QuestionButtons::YesNoCancel, "Abbrechen", Answer::Cancel, {"Ja", "Nein", "Abbrechen"}},
        {QuestionButtons::YesNoCancel, "Nein", Answer::No, {"Ja", "Nein", "Abbrechen"}},
    };
    for (const Case& c : cases) {
        QStringList offered;
        ClickWhenShown(c.click, offered);
        EXPECT_EQ(op.Ask("Wirklich stoppen ?", c.buttons), c.expected) << c.click.toStdString();
        offered.sort();
        QStringList expectedOffer = c.offered;
        expectedOffer.sort();
        EXPECT_EQ(offered, expectedOffer);
    }
}

}  // namespace
}  // namespace tarvedde
