#include "ui/tform3.h"

#include "ui/placed.h"
#include "ui/stringgrid.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

TForm3::TForm3(QWidget* parent)
    : FixedDialog(QStringLiteral("Определение подключенных приборов"), 418, 278, Border::CloseBox, parent) {
    setObjectName(QStringLiteral("Form3"));
    // Escape would hide the window with the scan still running and its "Stop" out of reach.
    setEscapeCloses(false);

    StringGrid1 = placed<StringGrid>(this, "StringGrid1", {8, 8, 402, 201}, 3, 2, 0, 1);
    StringGrid1->setColWidth(0, 36);
    StringGrid1->setColWidth(1, 54);
    StringGrid1->setColWidth(2, 287);
    StringGrid1->setDefaultRowHeight(18);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setFocusPolicy(Qt::NoFocus);

    ProgressBar1 = placed<QProgressBar>(this, "ProgressBar1", {8, 217, 402, 17});
    ProgressBar1->setRange(0, 127);
    ProgressBar1->setTextVisible(false);

    Button1 = placed<QPushButton>(this, "Button1", {171, 243, 75, 25}, QStringLiteral("Stop"));
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    prepare();
    StringGrid1->fitFontToRow(0);
}

void TForm3::prepare() {
    ProgressBar1->setValue(0);
    StringGrid1->setRowCount(2);
    StringGrid1->setFixedRows(1);
    StringGrid1->setCell(0, 0, QStringLiteral("Адрес"));
    StringGrid1->setCell(1, 0, QStringLiteral("Скорость"));
    StringGrid1->setCell(2, 0, QStringLiteral("Наименование прибора"));
    StringGrid1->clearRow(1);
    StopRequested = false;
    m_nextRow = 1;
}

void TForm3::addDevice(int address, const QString& speedText, const QString& deviceText) {
    StringGrid1->setRowCount(std::max(StringGrid1->rowCount(), m_nextRow + 1));
    StringGrid1->setCell(0, m_nextRow, QString::number(address));
    StringGrid1->setCell(1, m_nextRow, speedText);
    StringGrid1->setCell(2, m_nextRow, deviceText);
    StringGrid1->setRowCount(StringGrid1->rowCount() + 1);
    StringGrid1->setFixedRows(StringGrid1->fixedRows() + 1);
    ++m_nextRow;
}

void TForm3::setProgress(int address) {
    ProgressBar1->setValue(address);
}

void TForm3::Button1Click() {
    StopRequested = true;
    hide();
}

void TForm3::closeEvent(QCloseEvent* event) {
    StopRequested = true;
    FixedDialog::closeEvent(event);
}
