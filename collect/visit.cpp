#include "collect/visit.h"

#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "device/encodings.h"
#include "device/identification.h"
#include "device/records.h"
#include "device/registerblock.h"
#include "device/sysparams.h"
#include "link/tmodbus.h"

#include <QElapsedTimer>
#include <QSet>
#include <map>

namespace collect {

namespace {

// "Совместная работа каналов", which names some of the abnormal situations.
constexpr int ChannelModeRegister = 96;

const char* const ArchiveNames[] = {"hour", "day", "month", "faults", "operator", "abnormal 1", "abnormal 2"};

std::int64_t nextPeriod(int archive, std::int64_t start) {
    if (archive == 0) return start + 3600;
    if (archive == 1) return start + 86400;
    return enc::DateToSec(
        QDateTime(enc::SecToDate(std::uint32_t(start)).date().addMonths(1), QTime(0, 0), Qt::UTC));
}

// The PC's wall clock as a device time, to compare with the meter's.
std::int64_t pcDeviceTime() {
    return enc::DateToSec(QDateTime::currentDateTime());
}

// What the line did for one visit.
struct Tally {
    int requests = 0, linkFailures = 0, badRecords = 0;
    std::int64_t bytes = 0;
    void count(const TModBus& bus) {
        ++requests;
        bytes += bus.requestFrame().size() + bus.replyFrame().size();
        if (!bus.replyOk()) ++linkFailures;
    }
};

using RequestKey = std::tuple<int, int, int, qint64, int>;
RequestKey keyOf(const archives::Request& r) {
    return {r.archive, r.count, r.mode, r.mode == 1 ? r.date.toMSecsSinceEpoch() : 0, r.record};
}

store::PeriodRow::State stateOf(archives::Period::State s) {
    using S = archives::Period::State;
    switch (s) {
    case S::Row:
        return store::PeriodRow::State::Volumes;
    case S::NotRecorded:
        return store::PeriodRow::State::Gap;
    case S::NoBase:
        return store::PeriodRow::State::NoBase;
    case S::NotRead:
        break;
    }
    return store::PeriodRow::State::NotRead;
}

} // namespace

std::optional<std::int64_t> firstMissing(int archive, const QList<std::int64_t>& stored, std::int64_t oldest,
                                         std::int64_t current, const QList<std::int64_t>& notRead) {
    if (stored.isEmpty()) return std::nullopt;
    QSet<std::int64_t> have(stored.begin(), stored.end());
    for (const std::int64_t p : notRead)
        have.remove(p);
    std::int64_t p = std::max(oldest, stored.first());
    while (p < current && have.contains(p))
        p = nextPeriod(archive, p);
    return std::min(p, current);
}

store::Outcome visitMeter(TModBus& bus, store::VisitStore& db, const MeterEntry& meter,
                          const VisitProgress& progress) {
    store::Outcome o{.line = meter.line, .name = meter.name, .address = meter.address};
    Tally tally;
    const auto finish = [&](store::Outcome::Result result, const QString& reason) {
        o.result = result;
        if (!reason.isEmpty())
            o.reason = o.reason.isEmpty() ? reason : reason + QStringLiteral("; ") + o.reason;
        o.requests = tally.requests;
        o.bytes = tally.bytes;
        o.linkFailures = tally.linkFailures;
        o.badRecords = tally.badRecords;
        return o;
    };
    const auto linkFailure = [&](const QString& during) {
        return finish(store::Outcome::Result::Failed,
                      describe(bus.replyStatus(), bus.exceptionCode()) + QStringLiteral(" (%1)").arg(during));
    };
    const auto addr = std::uint8_t(meter.address);

    // Who it is and what its clock says, in one request: the clock is registers 0-1.
    const std::optional<RegisterBlock> head =
        RegisterBlock::read(bus, addr, 0, ident::ElectronicNumberRegister + ident::ElectronicNumberCount);
    tally.count(bus);
    if (!head) {
        if (bus.replyStatus() == ReplyStatus::PortError)
            return finish(store::Outcome::Result::Failed,
                          QStringLiteral("port cannot be opened: ") + bus.portError());
        return linkFailure(QStringLiteral("electronic number"));
    }
    const std::uint32_t number = *head->u32(ident::ElectronicNumberRegister);
    const std::int64_t meterNow = *head->time(0);
    o.number = number;
    o.clockOffset = meterNow - pcDeviceTime();
    if (std::abs(*o.clockOffset) > ClockWarningSeconds)
        o.reason = QStringLiteral("clock %1 s %2 the PC's")
                       .arg(std::abs(*o.clockOffset))
                       .arg(*o.clockOffset > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
    if (const std::optional<std::uint32_t> before = db.meterAt(meter.line, meter.address);
        before && *before != number)
        o.reason = QStringLiteral("another meter at this address: %1, was %2").arg(number).arg(*before) +
                   (o.reason.isEmpty() ? QString() : QStringLiteral("; ") + o.reason);
    bus.ReportSlaveId(addr);
    tally.count(bus);
    if (!bus.replyOk()) return linkFailure(QStringLiteral("identification"));

    const QString deviceText = ident::deviceText(bus.replyFrame());
    const std::optional<RegisterBlock> mode = RegisterBlock::read(bus, addr, ChannelModeRegister, 1);
    tally.count(bus);
    if (!mode) return linkFailure(QStringLiteral("channel mode"));
    store::MeterVisit visit{.number = number,
                            .line = meter.line,
                            .name = meter.name,
                            .address = meter.address,
                            .deviceText = deviceText,
                            .twoChannelMode = sysparams::twoChannelMode(*mode->byte(ChannelModeRegister))};

    // The periods are those of the meter's clock: by the PC's, a meter running behind would seem
    // to have left the periods still to come unrecorded.
    const QDateTime now = enc::SecToDate(std::uint32_t(meterNow));
    std::map<RequestKey, QByteArray> replies;
    QString what;
    const archives::RequestFn send = [&](const archives::Request& r) -> std::optional<QByteArray> {
        // Both channels of an archive come in the same records: the second reading of the same
        // periods is answered from the first one's replies.
        if (auto it = replies.find(keyOf(r)); it != replies.end()) return it->second;
        archives::send(bus, addr, r);
        tally.count(bus);
        if (!bus.replyOk()) return std::nullopt;
        const QByteArray reply = bus.reply();
        if (records::isJournal(r.archive)) {
            for (const JournalEntry& e : records::journalEntries(reply, r.count))
                tally.badRecords += !e.checkOk;
        } else {
            for (const ArchiveRecord& a : records::archiveRecords(reply, r.count))
                tally.badRecords += !a.checkOk;
        }
        replies.emplace(keyOf(r), reply);
        return reply;
    };
    // All of the visit in one transaction, whether it went to the end or not.
    const auto save = [&](store::Outcome outcome) {
        QString error;
        QElapsedTimer writing;
        writing.start();
        const std::optional<store::Written> written = db.storeVisit(visit, &error);
        outcome.writeMs += double(writing.nsecsElapsed()) / 1e6;
        if (!written) {
            outcome.result = store::Outcome::Result::Failed;
            outcome.reason = QStringLiteral("database: ") + error;
            return outcome;
        }
        outcome.periods = written->periods;
        outcome.entries = written->entries;
        return outcome;
    };
    const archives::ProgressFn told = [&](int done, int due) {
        if (progress) progress(what, done, due);
    };

    int notRead = 0; // periods (of each channel) neither this visit nor an earlier one could read
    for (int archive = 0; archive < 3; ++archive) {
        const auto kind = archives::Kind(archive);
        what = QString::fromLatin1(ArchiveNames[archive]);
        const archives::ArchivePlan whole = archives::planArchive(kind, {}, now);
        const std::int64_t oldest = enc::DateToSec(whole.start);
        const std::int64_t current =
            enc::DateToSec(archives::planArchive(kind, {false, now, now}, now).start);
        replies.clear();
        for (int channel = 0; channel < 2; ++channel) {
            QList<std::int64_t> unread;
            const QList<std::int64_t> stored = db.periodStarts(number, archive, channel + 1, oldest, &unread);
            const std::optional<std::int64_t> from = firstMissing(archive, stored, oldest, current, unread);
            if (from && *from >= current) continue; // nothing new has ended since the last visit
            const archives::Range range =
                from ? archives::Range{false, enc::SecToDate(std::uint32_t(*from)), now} : archives::Range{};
            const archives::ArchiveReading reading =
                archives::readArchive(kind, range, channel, now, send, told);
            // The records of a reply stand for their periods by place, so a damaged one costs only
            // its own period (and the next, whose volumes it would give): those are stored as not
            // read, unless an earlier visit read them, and the next visit reads from the first on.
            QSet<std::int64_t> read(stored.begin(), stored.end());
            for (const std::int64_t p : unread)
                read.remove(p);
            for (const archives::Period& p : reading.periods) {
                const store::PeriodRow::State state = stateOf(p.state);
                notRead +=
                    state == store::PeriodRow::State::NotRead && !read.contains(enc::DateToSec(p.start));
                store::PeriodRow row{.archive = archive,
                                     .channel = channel + 1,
                                     .start = enc::DateToSec(p.start),
                                     .state = state};
                if (p.recorded) row.recordedAt = p.recorded;
                if (state == store::PeriodRow::State::Volumes) {
                    row.plus = p.plus;
                    row.minus = p.minus;
                    if (kind != archives::Kind::Month) row.downtime = p.downtime;
                }
                visit.periods.append(row);
            }
            // What was read before the line failed is sound and kept; the rest comes next time.
            if (reading.linkFailed()) return save(linkFailure(what));
        }
    }
    // A damaged entry is left out of its journal; the journals are read whole again next time.
    const int damagedBefore = tally.badRecords;
    for (int journal = 3; journal <= 6; ++journal) {
        what = QString::fromLatin1(ArchiveNames[journal]);
        QList<JournalEntry> entries;
        // The texts depend on the meter's mode, the stored codes do not.
        const archives::Reading reading = archives::readJournal(journal, false, send, told, &entries);
        for (const JournalEntry& e : entries)
            visit.entries.append({.journal = journal,
                                  .code = e.code,
                                  .started = e.start,
                                  .ended = e.end ? std::optional<std::int64_t>(e.end) : std::nullopt});
        if (reading.linkFailed()) return save(linkFailure(what));
    }
    QStringList missing;
    if (notRead) missing << QStringLiteral("%1 periods not read").arg(notRead);
    if (const int damaged = tally.badRecords - damagedBefore)
        missing << QStringLiteral("%1 journal entries damaged").arg(damaged);
    if (!missing.isEmpty())
        return save(finish(store::Outcome::Result::Partial,
                           missing.join(QStringLiteral(", ")) + QStringLiteral(", left to read again")));
    return save(finish(store::Outcome::Result::Stored, {}));
}

} // namespace collect
