#include "ui/busywindow.h"

#include "ui/placed.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {
constexpr int StopRoom = 36; // the button and its margin below the progress bar
}

BusyWindow::BusyWindow(const QString& caption, Progress progress, QWidget* parent, Stop stop)
    : FixedDialog(caption, 260,
                  (progress == Progress::Shown ? 84 : 64) + (stop == Stop::Shown ? StopRoom : 0),
                  Border::NoIcons, parent) {
    setModal(false);
    setEscapeCloses(false);
    StaticText1 = placed<QLabel>(this, "StaticText1", {0, progress == Progress::Shown ? 16 : 20, 260, 24},
                                 QStringLiteral("Пожалуйста, подождите"));
    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setAlignment(Qt::AlignCenter);
    if (progress == Progress::Shown) {
        ProgressBar = placed<QProgressBar>(this, "ProgressBar", {20, 50, 220, 16});
        ProgressBar->setTextVisible(false);
    }
    if (stop == Stop::Shown) {
        ButtonStop = placed<QPushButton>(this, "ButtonStop", {92, height() - StopRoom - 4, 75, 25},
                                         QStringLiteral("Стоп"));
        connect(ButtonStop, &QPushButton::clicked, this, &BusyWindow::ButtonStopClick);
    }
    setCursor(Qt::BusyCursor);
}

void BusyWindow::start() {
    m_stopRequested = false;
    if (ButtonStop) ButtonStop->setEnabled(true);
    setProgress(0, 1);
    show();
}

void BusyWindow::setProgress(int done, int planned) {
    if (!ProgressBar) return;
    ProgressBar->setRange(0, planned);
    ProgressBar->setValue(done);
}

void BusyWindow::ButtonStopClick() {
    m_stopRequested = true;
    // The request under way still ends by itself; a second press has nothing more to stop.
    if (ButtonStop) ButtonStop->setEnabled(false);
}
