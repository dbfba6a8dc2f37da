#include "files/exportfile.h"

#include "files/textfile.h"

namespace exportfile {

QString defaultName(int archiveNumber, bool firstChannel) {
    const QString channel = firstChannel ? QStringLiteral("_ch1.txt") : QStringLiteral("_ch2.txt");
    if (archiveNumber == 3 || archiveNumber == 4) return QStringLiteral("Archive%1.txt").arg(archiveNumber);
    if (archiveNumber == 6) archiveNumber = 5;
    return QStringLiteral("Archive%1").arg(archiveNumber) + channel;
}

QString title(const Heading& h) {
    switch (h.archiveNumber) {
    case 0:
        return QStringLiteral("Часовой архив ") + h.channelCaption;
    case 1:
        return QStringLiteral("Суточный архив ") + h.channelCaption;
    case 2:
        return QStringLiteral("Месячный архив ") + h.channelCaption;
    case 3:
        return QStringLiteral("Журнал отказов");
    case 4:
        return QStringLiteral("Журнал оператора");
    case 5:
    case 6:
        return QStringLiteral("Журнал нештатных ситуаций ") + h.channelCaption;
    }
    return {};
}

QStringList lines(const Heading& heading, const QList<QStringList>& grid) {
    QStringList out{textfile::versionLine(heading.deviceCaption),
                    QStringLiteral("Электронный номер прибора :") + heading.electronicNumber, title(heading),
                    QString()};
    for (const QStringList& row : grid)
        out << row.join(u'#');
    return out;
}

QByteArray contents(const Heading& heading, const QList<QStringList>& grid) {
    return textfile::encodeLines(lines(heading, grid));
}

} // namespace exportfile
