// What a dialog's border promises: the title-bar buttons asked of the window manager, and, for a
// dialog without border icons, that a close box the manager draws all the same does nothing.
#include "ui/fixeddialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(FixedDialog, BorderDecidesTheTitleBarAndWhatClosesTheDialog) {
    struct Case {
        FixedDialog::Border border;
        bool closeButton;
        bool closedByCloseBox;
    };
    const Case cases[] = {
        {FixedDialog::Border::NoIcons, false, false},
        {FixedDialog::Border::CloseBox, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.closeButton ? "close box" : "no icons");
        FixedDialog dialog(QStringLiteral("ERROR"), 272, 104, c.border);
        const Qt::WindowFlags flags = dialog.windowFlags();
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_TRUE(flags & Qt::CustomizeWindowHint); // without it Qt adds the buttons back
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowContextHelpButtonHint));
        EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), c.closeButton);

        dialog.show();
        EXPECT_EQ(dialog.close(), c.closedByCloseBox);
        dialog.show();
        dialog.accept(); // the dialog's own buttons always close it
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(FixedDialog, DialogWithoutIconsComesBackWhenMinimised) {
    FixedDialog dialog(QStringLiteral("Завершение работы"), 288, 96, FixedDialog::Border::NoIcons);
    dialog.show();
    dialog.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isMinimized(), 1000);
}

TEST(FixedDialog, WidensForItsTitleAndKeepsItsControlsCentred) {
    const QString title = QStringLiteral("Выбор периода опроса");
    FixedDialog dialog(title, 100, 92, FixedDialog::Border::NoIcons);
    auto* centred = new QLabel(QStringLiteral("Сек."), &dialog);
    centred->setGeometry(20, 10, 60, 20);
    dialog.show();
    const int wide = FixedDialog::widthForTitle(title, dialog.font());
    ASSERT_GT(wide, 100);
    EXPECT_EQ(dialog.size(), QSize(wide, 92));
    EXPECT_EQ(centred->geometry().center().x(), dialog.width() / 2 - 1);
    EXPECT_EQ(centred->y(), 10);
    // Shown again, it does not move its controls a second time.
    dialog.hide();
    dialog.show();
    EXPECT_EQ(centred->geometry().center().x(), dialog.width() / 2 - 1);
}

TEST(FixedDialog, MessageBoxWidensForItsTitle) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Монитор КАСТАРИ-ДК"),
                    QStringLiteral("File not found."), QMessageBox::Ok);
    keepTitleWhole(box);
    box.show();
    EXPECT_GE(box.width(), FixedDialog::widthForTitle(box.windowTitle(), box.font()));
}

TEST(FitOnScreen, AWindowTooLargeForItsScreenIsMadeToFitWithItsTitleBarAndCentred) {
    const QSize wanted(960, 640), minimum(589, 194);
    const struct {
        const char* name;
        QRect area;
        bool kept; // the window keeps the size it asked for
    } cases[] = {
        {"1280 x 1024 less a task bar", {0, 0, 1280, 984}, true},
        {"1280 x 1024 scaled to 150 %, less a task bar", {0, 0, 853, 656}, false},
        {"offset by a panel at the top", {0, 30, 800, 570}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect client = placeOnScreen(wanted, minimum, c.area);
        EXPECT_EQ(client.size() == wanted, c.kept);
        EXPECT_TRUE(client.width() <= wanted.width() && client.height() <= wanted.height());
        // A title bar of 30 pixels above the client and a border around it stay on the screen.
        EXPECT_TRUE(c.area.contains(client.adjusted(-4, -30, 4, 4)));
        EXPECT_LE(std::abs((client.left() - c.area.left()) - (c.area.right() - client.right())), 1);
    }
    // A screen smaller than the window can be: the window keeps its least size.
    EXPECT_EQ(placeOnScreen(wanted, minimum, {0, 0, 500, 200}).size(), minimum);
}
