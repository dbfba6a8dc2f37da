// The program's dialogs as the operator meets them: which may be closed from the title bar or with
// Escape, and that each stays above the main window.
#include "mainwindowfixture.h"

#include "app/archivesview.h"
#include "app/systemparams.h"
#include "ui/tform10.h"
#include "ui/tform11.h"
#include "ui/tform12.h"
#include "ui/tform13.h"
#include "ui/tform14.h"
#include "ui/tform15.h"
#include "ui/tform17.h"
#include "ui/tform18.h"
#include "ui/tform19.h"
#include "ui/tform20.h"
#include "ui/tform3.h"
#include "ui/tform4.h"
#include "ui/tform7.h"
#include "ui/tform8.h"
#include "ui/tform9.h"

#include <QWindow>

namespace {

class DialogFrames : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithOneMeter();
        view = SystemParams::install(*form);
    }
    SystemParams* view = nullptr;
};

} // namespace

TEST_F(DialogFrames, EveryDialogHasItsBorderAndStaysAboveTheMainWindow) {
    using Border = FixedDialog::Border;
    ArchivesView* archives = ArchivesView::install(*form);
    const struct {
        FixedDialog* dialog;
        Border border;
        bool escapeCloses; // windows of work under way or just finished stay
    } dialogs[] = {
        {form->Form3, Border::CloseBox, false},       {form->Form4, Border::CloseBox, true},
        {form->Form7, Border::NoIcons, true},         {form->Form8, Border::CloseBox, true},
        {form->Form9, Border::NoIcons, true},         {archives->Form10(), Border::NoIcons, true},
        {view->Form11(), Border::NoIcons, false},     {archives->Form12(), Border::NoIcons, false},
        {archives->Form13(), Border::NoIcons, false}, {view->Form14(), Border::NoIcons, false},
        {form->Form15, Border::NoIcons, false},       {form->Form17, Border::NoIcons, true},
        {view->Form18(), Border::NoIcons, true},      {view->Form19(), Border::NoIcons, false},
        {form->Form20, Border::CloseBox, true},
    };
    for (const auto& [dialog, border, escapeCloses] : dialogs) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        EXPECT_EQ(dialog->border(), border);
        dialog->show();
        EXPECT_GE(dialog->width(), FixedDialog::widthForTitle(dialog->windowTitle(), dialog->font()));
        ASSERT_NE(dialog->windowHandle(), nullptr);
        EXPECT_EQ(dialog->windowHandle()->transientParent(), form->windowHandle());
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog->isVisible(), !escapeCloses);
        dialog->hide();
    }
}
