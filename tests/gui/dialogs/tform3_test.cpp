#include "ui/stringgrid.h"
#include "ui/tform3.h"

#include <QFontMetrics>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
QStringList row(const StringGrid& g, int r) {
    return {g.cell(0, r), g.cell(1, r), g.cell(2, r)};
}
} // namespace

TEST(TForm3, PreparedGridHasTitlesAndOneEmptyRow) {
    TForm3 f;
    f.StopRequested = true;
    f.addDevice(3, "9600", "old");
    f.setProgress(90);
    f.prepare();
    const StringGrid& g = *f.StringGrid1;
    EXPECT_EQ(g.columnCount(), 3);
    EXPECT_EQ(g.colWidth(0), 36);
    EXPECT_EQ(g.colWidth(1), 54);
    EXPECT_EQ(g.colWidth(2), 287);
    EXPECT_EQ(g.rowCount(), 2);
    EXPECT_EQ(g.fixedRows(), 1);
    EXPECT_EQ(row(g, 0), (QStringList{"Адрес", "Скорость", "Наименование прибора"}));
    EXPECT_EQ(row(g, 1), (QStringList{"", "", ""}));
    const QFontMetrics fm(g.font());
    for (int c = 0; c < 3; ++c)
        EXPECT_LE(fm.horizontalAdvance(g.cell(c, 0)) + 2 * StringGrid::CellTextMargin, g.colWidth(c)) << c;
    EXPECT_FALSE(f.StopRequested);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(f.ProgressBar1->maximum(), 127);
    EXPECT_EQ(f.nextRow(), 1);
}

TEST(TForm3, FoundDevicesBecomeShadedRowsAboveOneEmptyRow) {
    TForm3 f;
    f.prepare();
    f.addDevice(1, "9600", "A   B");
    f.addDevice(17, "9600", "C   D");
    const StringGrid& g = *f.StringGrid1;
    EXPECT_EQ(g.rowCount(), 4);
    EXPECT_EQ(g.fixedRows(), 3);
    EXPECT_EQ(row(g, 1), (QStringList{"1", "9600", "A   B"}));
    EXPECT_EQ(row(g, 2), (QStringList{"17", "9600", "C   D"}));
    EXPECT_EQ(row(g, 3), (QStringList{"", "", ""}));
    EXPECT_TRUE(g.isFixed(2, 2));
    EXPECT_FALSE(g.isFixed(0, 3));
    EXPECT_EQ(f.nextRow(), 3);
}

TEST(TForm3, StopAndCloseBoxBothEndTheScan) {
    TForm3 f;
    f.prepare();
    f.show();
    f.setProgress(40);
    f.Button1->click();
    EXPECT_TRUE(f.StopRequested);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.ProgressBar1->value(), 40);

    f.prepare();
    f.show();
    f.close();
    EXPECT_TRUE(f.StopRequested);
    EXPECT_FALSE(f.isVisible());
}
