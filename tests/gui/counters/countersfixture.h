#pragma once
// The main window with the measurement view and the legend installed, against one simulated meter
// whose clock stands at 05.03.2024 14:07:09.
#include "mainwindowfixture.h"

#include "app/countersview.h"
#include "app/failurelegend.h"
#include "device/counters.h"
#include "ui/conditiondisplay.h"
#include "ui/panelcounters.h"
#include "ui/statusbar.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

class Counters : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen({device(1), device(2)});
        form->TwoChannelMode = true;
        view = CountersView::install(*form);
        installViews();
        legend = FailureLegend::install(*form);
        panel = view->panel();
    }
    // Other views whose buttons the legend is to serve.
    virtual void installViews() {}

    // The view chosen from the menu; forgets what was sent until then.
    void open() {
        form->MenuTypeParamClick(form->Measurements);
        sim->clearLog();
    }
    QLineEdit* field(const char* name) const { return panel->edit(QString::fromLatin1(name)); }
    QString text(const char* name) const { return field(name)->text(); }
    QPushButton* button(const char* name) const { return panel->button(QString::fromLatin1(name)); }
    void setFloat(int reg, float value) { sim->setHoldingFloat(1, reg, value); }

    CountersView* view = nullptr;
    FailureLegend* legend = nullptr;
    PanelCounters* panel = nullptr;
};
