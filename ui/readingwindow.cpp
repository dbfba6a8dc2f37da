#include "ui/readingwindow.h"

#include <QLabel>
#include <QProgressBar>

ReadingWindow::ReadingWindow(const QString& caption, QWidget* parent)
    : FixedDialog(caption, 260, 84, Border::NoIcons, parent) {
    setModal(false);
    StaticText1 = new QLabel(QStringLiteral("Пожалуйста, подождите"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setGeometry(0, 16, 260, 24);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(20, 50, 220, 16);
    ProgressBar->setTextVisible(false);
    setCursor(Qt::BusyCursor);
}

void ReadingWindow::start() {
    ProgressBar->setRange(0, 1);
    ProgressBar->setValue(0);
    show();
}

void ReadingWindow::setProgress(int done, int planned) {
    ProgressBar->setRange(0, planned);
    ProgressBar->setValue(done);
}
