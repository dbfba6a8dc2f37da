#include "dialogscreenshots.h"
#include "ui/keypressfilter.h"
#include "ui/radiogroup.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(StatusBar, PanelsSitSideBySideAndTheLastTakesTheRest) {
    StatusBar bar;
    bar.resize(690, StatusBar::DefaultHeight);
    bar.addPanel(150);
    bar.addPanel(50, Qt::AlignHCenter, StatusBar::Bevel::Raised);
    bar.addPanel(20);
    EXPECT_EQ(bar.panel(0)->x(), 0);
    EXPECT_EQ(bar.panel(1)->x(), 150);
    EXPECT_EQ(bar.panel(2)->x(), 200);
    EXPECT_EQ(bar.panel(2)->geometry().right(), 689);
    EXPECT_EQ(bar.panel(1)->objectName(), "Panel1");
    EXPECT_EQ(bar.panel(3), nullptr);
}

TEST(StatusBar, BevelIsTheLabelsFrame) {
    StatusBar bar;
    bar.addPanel(150);
    EXPECT_EQ(bar.bevel(0), StatusBar::Bevel::Lowered);
    bar.setText(0, "          Ошибка связи");
    bar.setBevel(0, StatusBar::Bevel::Raised);
    EXPECT_EQ(bar.panel(0)->frameShadow(), QFrame::Raised);
    EXPECT_EQ(bar.bevel(0), StatusBar::Bevel::Raised);
    EXPECT_EQ(bar.text(0), "          Ошибка связи");
    bar.setBevel(0, StatusBar::Bevel::None);
    EXPECT_EQ(bar.bevel(0), StatusBar::Bevel::None);
    // Out-of-range panels are ignored, never a crash.
    bar.setText(5, "x");
    bar.setBevel(-1, StatusBar::Bevel::Raised);
    EXPECT_EQ(bar.text(5), "");
}

TEST(StringGrid, TitleCellsAreNeitherSelectableNorOutsideCellsKept) {
    StringGrid g(3, 3, 1, 1);
    g.setCell(1, 1, "a");
    g.setCell(0, 2, "b");
    g.setCell(3, 0, "ignored");
    g.setCell(0, 9, "ignored");
    EXPECT_EQ(g.cell(1, 1), "a");
    EXPECT_FALSE(g.item(2, 0)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(g.item(1, 1)->flags() & Qt::ItemIsSelectable);
    g.setFixedRows(2);
    EXPECT_FALSE(g.item(1, 1)->flags() & Qt::ItemIsSelectable);
    g.setFixedRows(10);
    EXPECT_EQ(g.fixedRows(), 3);
}

TEST(RadioGroup, OneItemAtMostAndOutOfRangeClears) {
    RadioGroup group("Порт", {"Comm 1", "Comm 2", "Comm 3"});
    QSignalSpy clicks(&group, &RadioGroup::clicked);
    group.setItemIndex(1);
    EXPECT_EQ(group.itemIndex(), 1);
    group.button(2)->click();
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_FALSE(group.button(1)->isChecked());
    // The selected item clicked again, by mouse or by the space bar, keeps it and reports nothing.
    group.button(2)->click();
    group.button(2)->setFocus();
    QTest::keyClick(group.button(2), Qt::Key_Space);
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.first().first().toInt(), 2);
    group.setItemIndex(3);
    EXPECT_EQ(group.itemIndex(), -1);
}

TEST(KeyPressFilter, DropsKeysOutsideTheSetAndTurnsDotIntoComma) {
    QLineEdit edit;
    int enters = 0;
    auto* filter = new KeyPressFilter(&edit, KeyPressFilter::Digits + ",-", [&] { ++enters; });
    filter->setDotToComma(true);
    QTest::keyClicks(&edit, "-1x.5e");
    EXPECT_EQ(edit.text(), "-1,5");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "-1");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Enter);
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(edit.text(), "-1");
}

// The standard editing shortcuts reach the edit: a value is replaced, not appended to. What is
// pasted is held to the same keys as what is typed.
TEST(KeyPressFilter, PassesEditingShortcutsAndFiltersWhatIsPasted) {
    QLineEdit edit;
    auto* filter = new KeyPressFilter(&edit, KeyPressFilter::Digits + ",");
    filter->setDotToComma(true);
    edit.setText("28,50");
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&edit, "30");
    EXPECT_EQ(edit.text(), "30");

    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "3030");
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "30");
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Right);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "3");
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "3");

    // A pasted dot is the decimal comma; a paste with any other foreign character is refused whole.
    QGuiApplication::clipboard()->setText("12.5");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "12,5");
    for (const char* foreign : {"1e5", "-3", "0x10", " 7"}) {
        QGuiApplication::clipboard()->setText(foreign);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
        EXPECT_EQ(edit.text(), "12,5") << foreign;
    }
}

TEST(DialogScreenshots, WritesOneImagePerDialog) {
    QTemporaryDir tmp;
    const QString dir = qEnvironmentVariable("KASTARI_DIALOG_SHOTS", tmp.path());
    const QStringList files = saveDialogScreenshots(dir);
    EXPECT_EQ(files.size(), 9);
    for (const QString& f : files) {
        const QImage image(f);
        EXPECT_FALSE(image.isNull()) << f.toStdString();
    }
}
