#include "archives/archivechart.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace archives {

namespace {

// Label steps in periods, smallest first, and whether a period starts a step.
struct Steps {
    QList<int> strides;
    bool (*starts)(const QDateTime& start, int stride);
    const char* format;
};

bool hourStarts(const QDateTime& t, int stride) {
    const int hour = t.time().hour();
    if (stride <= 24) return hour % stride == 0;
    return hour == 0 && t.date().toJulianDay() % (stride / 24) == 0;
}
bool dayStarts(const QDateTime& t, int stride) {
    // Whole weeks begin on Mondays.
    if (stride % 7 == 0) return t.date().dayOfWeek() == 1 && t.date().toJulianDay() / 7 % (stride / 7) == 0;
    return t.date().toJulianDay() % stride == 0;
}
bool monthStarts(const QDateTime& t, int stride) {
    return (t.date().month() - 1) % stride == 0;
}

Steps stepsOf(Kind kind) {
    switch (kind) {
    case Kind::Hour:
        return {{1, 2, 3, 6, 12, 24, 48, 72, 96, 168}, hourStarts, "hh:00"};
    case Kind::Day:
        return {{1, 2, 7, 14, 28}, dayStarts, "dd.MM"};
    case Kind::Month:
        return {{1, 2, 3, 6, 12}, monthStarts, "MM.yyyy"};
    }
    return {{1}, monthStarts, "dd.MM"};
}

QList<ChartLabel> labelsOf(Kind kind, const QList<Period>& periods, int maxLabels) {
    const Steps steps = stepsOf(kind);
    const int n = int(periods.size());
    int stride = steps.strides.last();
    for (int s : steps.strides)
        if (n <= (std::max(2, maxLabels) - 1) * s) {
            stride = s;
            break;
        }
    QList<ChartLabel> labels;
    for (int i = 0; i < n; ++i) {
        const QDateTime& t = periods[i].start;
        if (!steps.starts(t, stride)) continue;
        // Midnight names its day among the hours.
        const bool midnight = kind == Kind::Hour && t.time().hour() == 0;
        labels.append({i, t.toString(QString::fromLatin1(midnight ? "dd.MM" : steps.format))});
    }
    return labels;
}

} // namespace

ArchiveChart chartOf(const ArchiveReading& reading, int maxLabels) {
    ArchiveChart chart;
    chart.kind = reading.kind;
    const bool downtime = reading.kind != Kind::Month;
    const double unit = reading.kind == Kind::Hour ? 60.0 : 3600.0;
    if (downtime)
        chart.downtimeTitle =
            reading.kind == Kind::Hour ? QStringLiteral("Простой, мин") : QStringLiteral("Простой, ч");

    QList<QPointF> run;
    const auto endRun = [&] {
        if (!run.isEmpty()) chart.downtime.append(run);
        run.clear();
    };
    const auto mark = [&](int i, ChartMark kind) {
        if (!chart.gaps.isEmpty() && chart.gaps.last().last == i - 1 && chart.gaps.last().mark == kind)
            chart.gaps.last().last = i;
        else
            chart.gaps.append({i, i, kind});
    };
    for (int i = 0; i < reading.periods.size(); ++i) {
        const Period& p = reading.periods[i];
        if (p.state != Period::State::Row) {
            // Every period keeps its place in the bars, or the ones after it would move early.
            chart.plus.append(0.0f);
            chart.minus.append(0.0f);
            endRun();
            mark(i, p.state == Period::State::NoBase    ? ChartMark::NoBase
                    : p.state == Period::State::NotRead ? ChartMark::NotRead
                                                        : ChartMark::NotRecorded);
            continue;
        }
        bool numbers = true;
        for (const auto& [volume, bars] :
             {std::pair{p.plus, &chart.plus}, std::pair{p.minus, &chart.minus}}) {
            const bool number = std::isfinite(volume);
            bars->append(number ? volume : 0.0f);
            numbers &= number;
            if (!number) continue;
            chart.low = std::min(chart.low, volume);
            chart.high = std::max(chart.high, volume);
        }
        if (!numbers) mark(i, ChartMark::NoNumber);
        if (downtime) run.append(QPointF(i, p.downtime / unit));
    }
    endRun();
    chart.labels = labelsOf(reading.kind, reading.periods, maxLabels);
    return chart;
}

} // namespace archives
