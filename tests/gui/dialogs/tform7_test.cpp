#include "ui/tform7.h"
#include "ui/updown.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

TEST(TForm7, OkAcceptsZeroTo2000Seconds) {
    struct Case {
        QString text;
        bool accepted;
        int periodMs; // afterwards
    };
    const Case cases[] = {
        {"0", true, 0},         {"1", true, 1000},  {"60", true, 60000},           {"2000", true, 2000000},
        {"2001", false, 10000}, {"", false, 10000}, {"99999999999", false, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TForm7 f;
        f.setPeriodMs(10000);
        f.show();
        f.EditSelectInterval->setText(c.text);
        EXPECT_EQ(f.Button1Click(), c.accepted);
        EXPECT_EQ(f.periodMs(), c.periodMs);
        EXPECT_EQ(f.isVisible(), !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(f.focusWidget(), f.EditSelectInterval);
        }
    }
}

TEST(TForm7, ShowsWholeSecondsAndKeepsLongPeriods) {
    TForm7 f;
    f.setPeriodMs(10999);
    f.show();
    EXPECT_EQ(f.EditSelectInterval->text(), "10");
    EXPECT_EQ(f.UpDownSelectInterval->position(), 10);
    f.hide();

    // Past the up-down's 60 the edit still shows the period, so "Ok" does not shorten it.
    f.setPeriodMs(2000000);
    f.show();
    EXPECT_EQ(f.EditSelectInterval->text(), "2000");
    EXPECT_EQ(f.UpDownSelectInterval->position(), 60);
    EXPECT_TRUE(f.Button1Click());
    EXPECT_EQ(f.periodMs(), 2000000);
}

TEST(TForm7, ClosingWithoutOkKeepsThePeriod) {
    TForm7 f;
    f.setPeriodMs(10500);
    f.show();
    f.EditSelectInterval->setText("5");
    f.reject();
    EXPECT_EQ(f.periodMs(), 10500);
}

TEST(TForm7, UpDownWritesTheEditWithinItsRange) {
    struct Case {
        int startSeconds;
        QString typed; // replaces the edit before the step, unless empty
        bool up;
        QString want;
    };
    const Case cases[] = {
        {10, {}, true, "11"}, {10, {}, false, "9"},   {60, {}, true, "60"},
        {0, {}, false, "0"},  {10, "30", true, "31"}, {10, "500", false, "59"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want.toStdString());
        TForm7 f;
        f.setPeriodMs(c.startSeconds * 1000);
        f.show();
        if (!c.typed.isEmpty()) f.EditSelectInterval->setText(c.typed);
        QToolButton* arrow = c.up ? f.UpDownSelectInterval->upButton() : f.UpDownSelectInterval->downButton();
        QTest::mouseClick(arrow, Qt::LeftButton);
        EXPECT_EQ(f.EditSelectInterval->text(), c.want);
        EXPECT_EQ(f.UpDownSelectInterval->position(), c.want.toInt());
    }
}

TEST(TForm7, EditTakesDigitsAndBackspaceAndEnterActsAsOk) {
    TForm7 f;
    f.setPeriodMs(0);
    f.show();
    f.EditSelectInterval->clear();
    QTest::keyClicks(f.EditSelectInterval, "1a2.-, 3");
    EXPECT_EQ(f.EditSelectInterval->text(), "123");
    QTest::keyClick(f.EditSelectInterval, Qt::Key_Backspace);
    EXPECT_EQ(f.EditSelectInterval->text(), "12");
    QTest::keyClick(f.EditSelectInterval, Qt::Key_Up);
    EXPECT_EQ(f.EditSelectInterval->text(), "13");
    QTest::keyClick(f.EditSelectInterval, Qt::Key_Return);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Accepted);
    EXPECT_EQ(f.periodMs(), 13000);
}
