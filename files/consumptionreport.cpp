#include "files/consumptionreport.h"

#include <QHash>
#include <cmath>

namespace consumption {

Report build(const Heading& heading, const QList<Day>& known) {
    QHash<QDate, Day> byDate;
    for (const Day& day : known)
        if (day.date >= heading.from && day.date <= heading.to) byDate.insert(day.date, day);
    Report report;
    report.heading = heading;
    for (QDate date = heading.from; date.isValid() && date <= heading.to; date = date.addDays(1)) {
        Day day = byDate.value(date, Day{.date = date});
        day.date = date;
        // A volume that is no number (a damaged counter) would spoil every total: the day is unknown.
        if (day.state == Day::State::Recorded && !(std::isfinite(day.plus) && std::isfinite(day.minus)))
            day.state = Day::State::NoData;
        switch (day.state) {
        case Day::State::Recorded:
            ++report.recorded;
            report.plus += day.plus;
            report.minus += day.minus;
            report.downtime += day.downtime;
            break;
        case Day::State::NotRecorded:
            ++report.notRecorded;
            break;
        case Day::State::NoData:
            ++report.noData;
            break;
        }
        report.days.append(day);
    }
    return report;
}

QList<Day> daysOf(const archives::ArchiveReading& reading) {
    QList<Day> days;
    if (reading.kind != archives::Kind::Day) return days;
    for (const archives::Period& p : reading.periods) {
        Day day{.date = p.start.date()};
        switch (p.state) {
        case archives::Period::State::Row:
            day.state = Day::State::Recorded;
            day.plus = p.plus;
            day.minus = p.minus;
            day.downtime = p.downtime;
            break;
        case archives::Period::State::NotRecorded:
            day.state = Day::State::NotRecorded;
            break;
        default:
            // Recorded, but its volumes are not known (or it could not be read): as good as unread
            // for a bill.
            day.state = Day::State::NoData;
            break;
        }
        days.append(day);
    }
    return days;
}

QString addressText(const QString& line, int address) {
    if (line.isEmpty()) return QStringLiteral("сетевой адрес %1").arg(address);
    return QStringLiteral("%1, сетевой адрес %2").arg(line).arg(address);
}

Heading month(Heading heading, int year, int month) {
    heading.from = QDate(year, month, 1);
    heading.to = heading.from.isValid() ? heading.from.addMonths(1).addDays(-1) : QDate();
    return heading;
}

QString volumeText(double cubicMetres) {
    // A float volume carries about seven digits: three decimals keep litres without inventing more.
    return QString::number(cubicMetres, 'f', 3).replace(u'.', u',');
}

QString downtimeText(std::int64_t seconds) {
    const std::int64_t minutes = seconds / 60;
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString periodText(const Heading& heading) {
    return heading.from.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" – ") +
           heading.to.toString(QStringLiteral("dd.MM.yyyy"));
}

QStringList columnTitles() {
    return {QStringLiteral("Дата"), QStringLiteral("Объем +, м3"), QStringLiteral("Объем −, м3"),
            QStringLiteral("Разность, м3"), QStringLiteral("Простой, ч:мин")};
}

QStringList cells(const Day& day) {
    const QString date = day.date.toString(QStringLiteral("dd.MM.yyyy"));
    switch (day.state) {
    case Day::State::Recorded:
        return {date, volumeText(day.plus), volumeText(day.minus), volumeText(day.plus - day.minus),
                downtimeText(day.downtime)};
    case Day::State::NotRecorded:
        return {date, QStringLiteral("не записан прибором"), {}, {}, {}};
    case Day::State::NoData:
        return {date, QStringLiteral("нет данных"), {}, {}, {}};
    }
    return {};
}

QStringList totalCells(const Report& report) {
    // Each day shows its whole minutes, the seconds cut off; the total adds what is shown, so that
    // the column added up by hand gives the same figure.
    std::int64_t shownMinutes = 0;
    for (const Day& day : report.days)
        if (day.state == Day::State::Recorded) shownMinutes += day.downtime / 60;
    return {QStringLiteral("Итого"), volumeText(report.plus), volumeText(report.minus),
            volumeText(report.plus - report.minus), downtimeText(shownMinutes * 60)};
}

QStringList headingLines(const Report& report) {
    const Heading& h = report.heading;
    QStringList lines{QStringLiteral("Расходомер-счетчик КАСТАРИ ДК"),
                      QStringLiteral("Электронный номер прибора: ") + h.electronicNumber};
    if (!h.deviceText.trimmed().isEmpty()) lines << QStringLiteral("Прибор: ") + h.deviceText.simplified();
    if (!h.name.trimmed().isEmpty()) lines << QStringLiteral("Наименование: ") + h.name.simplified();
    if (!h.address.trimmed().isEmpty()) lines << QStringLiteral("Адрес: ") + h.address.simplified();
    lines << QStringLiteral("Канал: %1").arg(h.channel) << QStringLiteral("Период: ") + periodText(h);
    return lines;
}

QStringList footnoteLines(const Report& report) {
    QStringList lines;
    if (report.notRecorded > 0)
        lines << QStringLiteral("Суток, не записанных прибором (не учтены в итогах): %1")
                     .arg(report.notRecorded);
    if (report.noData > 0)
        lines << QStringLiteral("Суток без данных (не учтены в итогах): %1").arg(report.noData);
    return lines;
}

QStringList signatureLines() {
    return {QStringLiteral("Представитель поставщика  ____________________ / ____________________ /"),
            QStringLiteral("Представитель потребителя ____________________ / ____________________ /")};
}

} // namespace consumption
