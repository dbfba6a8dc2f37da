#include "ui/busywindow.h"

#include <QLabel>
#include <QProgressBar>

BusyWindow::BusyWindow(const QString& caption, Progress progress, QWidget* parent)
    : FixedDialog(caption, 260, progress == Progress::Shown ? 84 : 64, Border::NoIcons, parent) {
    setModal(false);
    setEscapeCloses(false);
    StaticText1 = new QLabel(QStringLiteral("Пожалуйста, подождите"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setGeometry(0, progress == Progress::Shown ? 16 : 20, 260, 24);
    if (progress == Progress::Shown) {
        ProgressBar = new QProgressBar(this);
        ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
        ProgressBar->setGeometry(20, 50, 220, 16);
        ProgressBar->setTextVisible(false);
    }
    setCursor(Qt::BusyCursor);
}

void BusyWindow::start() {
    setProgress(0, 1);
    show();
}

void BusyWindow::setProgress(int done, int planned) {
    if (!ProgressBar) return;
    ProgressBar->setRange(0, planned);
    ProgressBar->setValue(done);
}
