#pragma once
// The archive and journal export file: four lines naming the meter and what was read, then the grid
// row by row with its cells joined by "#", as the operator saw them.
#include <QList>
#include <QString>
#include <QStringList>

namespace exportfile {

struct Heading {
    QString deviceCaption{};    // the selected meter as the window names it ("<device text> адрес: ...")
    QString electronicNumber{}; // the meter's, as read from it for this export
    int archiveNumber = 0;      // 0..2 archives, 3..6 journals
    QString channelCaption{};   // as the window shows the channel ("1 - канал")
};

// "Archive0_ch1.txt" ... "Archive3.txt", "Archive4.txt", "Archive5_ch2.txt": the channel of an
// abnormal-situation journal is in its name, not in its number.
QString defaultName(int archiveNumber, bool firstChannel);

// What was read, as the file's third line names it ("Часовой архив 1 - канал", "Журнал отказов").
QString title(const Heading& heading);

QStringList lines(const Heading& heading, const QList<QStringList>& grid);
// The bytes of the file (Windows-1251, CR LF).
QByteArray contents(const Heading& heading, const QList<QStringList>& grid);

} // namespace exportfile
