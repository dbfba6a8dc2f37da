// The range dialog on its own: what the edits take, which ranges Ok and Enter accept, and when
// the shared error dialog speaks.
#include "device/encodings.h"
#include "modaldriver.h"
#include "ui/tform10.h"
#include "ui/tform9.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(RangeDialog, EditsTakeOnlyDateCharactersAndWaitForTheChoice) {
    TForm10 dialog;
    EXPECT_FALSE(dialog.EditDateStart->isEnabled());
    EXPECT_FALSE(dialog.StaticText2->isEnabled());
    dialog.show();
    dialog.RadioButtonChoice->click();
    EXPECT_TRUE(dialog.EditDateEnd->isEnabled());
    QTest::keyClicks(dialog.EditDateStart, "1a.03,2024 1x0:00");
    EXPECT_EQ(dialog.EditDateStart->text(), "1.032024 10:00");
    dialog.RadioButtonFull->click();
    EXPECT_FALSE(dialog.EditDateStart->isEnabled());
}

TEST(RangeDialog, OnlyAValidRangeIsAccepted) {
    const struct {
        const char *start, *end;
        bool accepted;
    } cases[] = {
        {"01.03.2024 10:00", "01.03.2024 10:00", true},
        {"01.03.2024", "02.03.2024 8:30:15", true},
        {"02.03.2024", "01.03.2024 23:59", false}, // the end before the start
        {"31.02.2024", "01.03.2024", false},
        {"01.03.2024", "", false},
        {"01.03", "02.03.2024", false},
    };
    for (const auto& c : cases) {
        TForm10 dialog;
        TForm9 errors;
        dialog.setErrorDialog(&errors);
        dialog.RadioButtonChoice->click();
        dialog.EditDateStart->setText(c.start);
        dialog.EditDateEnd->setText(c.end);
        ModalDriver driver(ModalDriver::Unclaimed::CloseAtOnce);
        int refused = 0;
        driver.then(on<TForm9>([&](TForm9* e) {
            refused += e->LabelInvalid->isVisible() && !e->LabelNotFound->isVisible();
            press(e->Button1);
        }));
        driver.then(on<TForm10>([](TForm10* d) { d->reject(); }));
        QTimer::singleShot(0, dialog.ButtonOkRangeArchive, &QPushButton::click);
        const int result = dialog.exec();
        EXPECT_EQ(result == 1, c.accepted) << c.start << " - " << c.end;
        EXPECT_EQ(refused, c.accepted ? 0 : 1) << c.start << " - " << c.end;
        EXPECT_EQ(dialog.FullArchive, !c.accepted);
        if (c.accepted) {
            EXPECT_EQ(dialog.range().start, *enc::parseDateTime(c.start));
            EXPECT_EQ(dialog.range().end, *enc::parseDateTime(c.end));
        }
    }
}

TEST(RangeDialog, EnterMovesFromStartToEndAndAccepts) {
    TForm10 dialog;
    dialog.show();
    dialog.RadioButtonChoice->click();
    QTest::keyClicks(dialog.EditDateStart, "01.03.2024 10:00");
    QTest::keyClick(dialog.EditDateStart, Qt::Key_Return);
    EXPECT_EQ(dialog.focusWidget(), dialog.EditDateEnd);
    QTest::keyClicks(dialog.EditDateEnd, "01.03.2024 12:00");
    QTest::keyClick(dialog.EditDateEnd, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_FALSE(dialog.range().full);
}

} // namespace
