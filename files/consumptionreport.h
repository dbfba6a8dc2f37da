#pragma once
// "Отчёт о потреблении": one meter's channel over a range of days (a month, as a rule), a row per
// day with the volumes "+" and "−", their difference and the downtime, and the totals. Days the
// meter did not record, and days nobody has read, are shown as such and never counted as zero.
#include "archives/archivereading.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace consumption {

struct Day {
    enum class State {
        Recorded,    // the day's volumes and downtime below
        NotRecorded, // the meter was off or did not write this day
        NoData,      // not read from the meter (yet): nothing is known of it
    };
    QDate date;
    State state = State::NoData;
    double plus = 0, minus = 0;
    std::int64_t downtime = 0; // seconds within the day
};

struct Heading {
    QString electronicNumber;
    QString deviceText; // the meter's identification texts
    QString name;       // the operator's name for the meter; may be empty
    QString address;    // where it answers: the line and its network address
    int channel = 1;
    QDate from, to; // the days reported, both included
    QDate made;     // the report's date
};

struct Report {
    Heading heading;
    QList<Day> days; // every day from `from` to `to`, in order
    double plus = 0, minus = 0;
    std::int64_t downtime = 0; // seconds, exact; the printed total adds the days as printed
    int recorded = 0, notRecorded = 0, noData = 0;

    bool hasData() const { return recorded > 0; }
};

// Every day of the heading's range, taken from `known` where it has the day (the last of several
// wins) and "no data" elsewhere; days of `known` outside the range are left out.
Report build(const Heading& heading, const QList<Day>& known);

// The days of a day archive reading (from the meter or the database) as the report counts them.
QList<Day> daysOf(const archives::ArchiveReading& reading);

// A whole month: the 1st to the last day.
Heading month(Heading heading, int year, int month);
// The heading's address: "LINE, сетевой адрес N", without the line when none is known.
QString addressText(const QString& line, int address);

// The texts as printed, in the Russian convention of the grids (decimal comma).
QString volumeText(double cubicMetres);       // "1234,567"
QString downtimeText(std::int64_t seconds);   // "hh:mm", hours past 24 as they are
QString periodText(const Heading& heading);   // "01.03.2026 – 31.03.2026"
QStringList columnTitles();                   // the table's heading row
QStringList cells(const Day& day);            // one row: date and four cells
QStringList totalCells(const Report& report); // the "Итого" row (the downtime: the days' as printed)
QStringList headingLines(const Report& report);
QStringList footnoteLines(const Report& report); // the days that are not counted, and why
QStringList signatureLines();

} // namespace consumption
