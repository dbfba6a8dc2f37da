#pragma once
// Which meters need someone, from what the database holds: one state per meter (and per meter of
// the list that never answered), the same in kastari-collect status, kastari-web and the monitor.
// Worked out by one statement for the whole fleet; the thresholds come from a small settings file.
#include "store/store.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace store {

// What counts as a problem. A file of "key = value" lines ('#' starts a comment) may set each.
struct Thresholds {
    std::int64_t silentHours = 48;     // no good collection for longer: "Нет связи"
    std::int64_t downtimeMinutes = 60; // more downtime in the newest stored day: "Простой"
    std::int64_t gapDays = 7;          // periods not recorded within the newest days: "Пропуски"
};

// The defaults for an empty path; nothing, with *error naming the file and line, for a file that
// cannot be read or holds an unknown key or a value that is no whole number from 1.
std::optional<Thresholds> readThresholds(const QString& path, QString* error);
QString thresholdsHelp(); // the keys and their defaults, for --help and the docs

// Worst first: the order a list of meters is shown in.
enum class Condition { NoLink = 0, Fault, Abnormal, Downtime, Gaps, Normal };
QString conditionName(Condition c); // "Нет связи", ..., "Норма"
// The monitoring-plugin grading: no link and faults are critical, the rest warnings.
bool critical(Condition c);

struct MeterState {
    std::optional<std::uint32_t> number{}; // none: a meter of the list that never answered
    QString name{}, line{};
    int address = 0;
    QString deviceText{};
    Condition condition = Condition::Normal; // the worst of `problems`
    QList<Condition> problems{};             // every one that holds, worst first; empty when normal
    QDateTime lastCollected{};               // the last good visit; invalid: never
    QDateTime lastVisit{};                   // the last visit, good or not
    Outcome::Result lastResult = Outcome::Result::Stored;
    QString lastReason{};                             // of the last visit, when it failed
    std::optional<std::int64_t> newest[3]{};          // newest stored period start per archive (device time)
    int gaps = 0;                                     // periods the meter never recorded, in all
    int recentGaps = 0;                               // of them within the newest gapDays days
    bool openFault = false;                           // a fault event without an end
    bool openAbnormal[2] = {false, false};            // an abnormal situation without an end, per channel
    std::optional<std::int64_t> lastDayDowntime[2]{}; // seconds, in the newest stored day, per channel

    // Why it is not normal, in a few Russian words per problem ("нет удачного опроса с 05.03.2026").
    QStringList reasons(const Thresholds& t) const;
};

// Every meter, worst first, then by number; those that never answered after the known ones of
// their state, by line and address. `now` is the PC's clock the silence is measured against.
// Nothing when the database cannot be read (*error says why). With `only`, that meter alone (an
// empty list when it is not in the database).
std::optional<QList<MeterState>> meterStates(Store& db, const Thresholds& thresholds, const QDateTime& now,
                                             QString* error,
                                             std::optional<std::uint32_t> only = std::nullopt);

} // namespace store
