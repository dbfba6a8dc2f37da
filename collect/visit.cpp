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

const char* const ArchiveNames[] = {"hour", "day", "month", "faults", "operator", "abnormal 1", "abnormal 2"};

std::int64_t nextPeriod(int archive, std::int64_t start) {
    if (archive == 0) return start + 3600;
    if (archive == 1) return start + 86400;
    return enc::DateToSec(
        QDateTime(enc::SecToDate(std::uint32_t(start)).date().addMonths(1), QTime(0, 0), Qt::UTC));
}

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

// The periods the database holds that were read: those stored, but for the ones marked not read.
QSet<std::int64_t> readPeriods(const QList<std::int64_t>& stored, const QList<std::int64_t>& notRead) {
    QSet<std::int64_t> read(stored.begin(), stored.end());
    for (const std::int64_t p : notRead)
        read.remove(p);
    return read;
}

} // namespace

std::optional<std::int64_t> firstMissing(int archive, const QList<std::int64_t>& stored, std::int64_t oldest,
                                         std::int64_t current, const QList<std::int64_t>& notRead) {
    if (stored.isEmpty()) return std::nullopt;
    const QSet<std::int64_t> have = readPeriods(stored, notRead);
    std::int64_t p = std::max(oldest, stored.first());
    while (p < current && have.contains(p))
        p = nextPeriod(archive, p);
    return std::min(p, current);
}

namespace {

// One visit, phase by phase: who the meter is, its archives, its journals. A phase that loses the
// line ends the visit; what was read before it is stored all the same, in one transaction.
class Visit {
  public:
    Visit(TModBus& bus, store::VisitStore& db, const MeterEntry& meter, const VisitProgress& progress)
        : m_bus(bus), m_db(db), m_meter(meter), m_progress(progress),
          m_addr(std::uint8_t(meter.address)), m_outcome{.line = meter.line,
                                                         .name = meter.name,
                                                         .address = meter.address} {}

    store::Outcome run() {
        if (const std::optional<store::Outcome> failed = identify()) return *failed;
        if (const std::optional<store::Outcome> failed = readArchives()) return save(*failed);
        if (const std::optional<store::Outcome> failed = readJournals()) return save(*failed);
        return save(verdict());
    }

  private:
    // Who it is and what its clock says, in one request (the clock is registers 0-1), then its
    // identification and channel mode. Nothing is stored of a meter that does not say who it is.
    std::optional<store::Outcome> identify() {
        const std::optional<RegisterBlock> head = RegisterBlock::read(
            m_bus, m_addr, 0, ident::ElectronicNumberRegister + ident::ElectronicNumberCount);
        count();
        if (!head) {
            if (m_bus.replyStatus() == ReplyStatus::PortError)
                return finish(store::Outcome::Result::Failed,
                              QStringLiteral("port cannot be opened: ") + m_bus.portError());
            return linkFailure(QStringLiteral("electronic number"));
        }
        const std::uint32_t number = *head->u32(ident::ElectronicNumberRegister);
        m_meterNow = *head->time(0);
        m_outcome.number = number;
        checkClockAndPlace(number);
        m_bus.ReportSlaveId(m_addr);
        count();
        if (!m_bus.replyOk()) return linkFailure(QStringLiteral("identification"));
        const QString deviceText = ident::deviceText(m_bus.replyFrame());
        const std::optional<RegisterBlock> mode = RegisterBlock::read(
            m_bus, m_addr, sysparams::ChannelModeRead.first, sysparams::ChannelModeRead.count);
        count();
        if (!mode) return linkFailure(QStringLiteral("channel mode"));
        m_visit = {.number = number,
                   .line = m_meter.line,
                   .name = m_meter.name,
                   .address = m_meter.address,
                   .deviceText = deviceText,
                   .twoChannelMode = sysparams::twoChannelMode(*mode).value_or(false)};
        return std::nullopt;
    }

    // A clock far from the PC's, and another meter where an earlier visit found this address's,
    // are told with the outcome, the latter first.
    void checkClockAndPlace(std::uint32_t number) {
        store::Outcome& o = m_outcome;
        // The PC's wall clock as a device time.
        o.clockOffset = m_meterNow - enc::DateToSec(QDateTime::currentDateTime());
        if (std::abs(*o.clockOffset) > ClockWarningSeconds)
            o.reason = QStringLiteral("clock %1 s %2 the PC's")
                           .arg(std::abs(*o.clockOffset))
                           .arg(*o.clockOffset > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
        if (const std::optional<std::uint32_t> before = m_db.meterAt(m_meter.line, m_meter.address);
            before && *before != number)
            o.tellFirst(QStringLiteral("another meter at this address: %1, was %2").arg(number).arg(*before));
    }

    // The periods each archive has ended since the database last got one of them, both channels.
    std::optional<store::Outcome> readArchives() {
        // The periods are those of the meter's clock: by the PC's, a meter running behind would
        // seem to have left the periods still to come unrecorded.
        const QDateTime now = enc::SecToDate(std::uint32_t(m_meterNow));
        for (int archive = 0; archive < 3; ++archive) {
            const auto kind = archives::Kind(archive);
            m_what = QString::fromLatin1(ArchiveNames[archive]);
            const std::int64_t oldest = enc::DateToSec(archives::planArchive(kind, {}, now).start);
            const std::int64_t current =
                enc::DateToSec(archives::planArchive(kind, {false, now, now}, now).start);
            m_replies.clear();
            for (int channel = 0; channel < 2; ++channel) {
                QList<std::int64_t> unread;
                const QList<std::int64_t> stored =
                    m_db.periodStarts(m_visit.number, archive, channel + 1, oldest, &unread);
                const std::optional<std::int64_t> from =
                    firstMissing(archive, stored, oldest, current, unread);
                if (from && *from >= current) continue; // nothing new has ended since the last visit
                const archives::Range range =
                    from ? archives::Range{false, enc::SecToDate(std::uint32_t(*from)), now}
                         : archives::Range{};
                const archives::ArchiveReading reading =
                    archives::readArchive(kind, range, channel, now, sender(), told());
                keepPeriods(archive, channel, reading, stored, unread);
                // What was read before the line failed is sound and kept; the rest comes next time.
                if (reading.linkFailed()) return linkFailure(m_what);
            }
        }
        return std::nullopt;
    }

    // The records of a reply stand for their periods by place, so a damaged one costs only its own
    // period (and the next, whose volumes it would give): those are stored as not read, unless an
    // earlier visit read them, and the next visit reads from the first on.
    void keepPeriods(int archive, int channel, const archives::ArchiveReading& reading,
                     const QList<std::int64_t>& stored, const QList<std::int64_t>& unread) {
        const QSet<std::int64_t> read = readPeriods(stored, unread);
        for (const archives::Period& p : reading.periods) {
            const store::PeriodRow::State state = stateOf(p.state);
            m_notRead += state == store::PeriodRow::State::NotRead && !read.contains(enc::DateToSec(p.start));
            store::PeriodRow row{
                .archive = archive, .channel = channel + 1, .start = enc::DateToSec(p.start), .state = state};
            if (p.recorded) row.recordedAt = p.recorded;
            if (state == store::PeriodRow::State::Volumes) {
                row.plus = p.plus;
                row.minus = p.minus;
                if (archives::Kind(archive) != archives::Kind::Month) row.downtime = p.downtime;
            }
            m_visit.periods.append(row);
        }
    }

    // Every journal whole: a damaged entry is left out, and the journals are read whole again next
    // time anyway.
    std::optional<store::Outcome> readJournals() {
        m_damagedBefore = m_outcome.badRecords;
        for (int journal = 3; journal <= 6; ++journal) {
            m_what = QString::fromLatin1(ArchiveNames[journal]);
            QList<JournalEntry> entries;
            // The texts depend on the meter's mode, the stored codes do not.
            const archives::Reading reading =
                archives::readJournal(journal, false, sender(), told(), &entries);
            for (const JournalEntry& e : entries)
                m_visit.entries.append({.journal = journal,
                                        .code = e.code,
                                        .started = e.start,
                                        .ended = e.end ? std::optional<std::int64_t>(e.end) : std::nullopt});
            if (reading.linkFailed()) return linkFailure(m_what);
        }
        return std::nullopt;
    }

    // Stored, or partly when periods or entries are left to read again.
    store::Outcome verdict() {
        QStringList missing;
        if (m_notRead) missing << QStringLiteral("%1 periods not read").arg(m_notRead);
        if (const int damaged = m_outcome.badRecords - m_damagedBefore)
            missing << QStringLiteral("%1 journal entries damaged").arg(damaged);
        if (missing.isEmpty()) return finish(store::Outcome::Result::Stored, {});
        return finish(store::Outcome::Result::Partial,
                      missing.join(QStringLiteral(", ")) + QStringLiteral(", left to read again"));
    }

    // The readers' requests, each counted; both channels of an archive come in the same records, so
    // the second reading of the same periods is answered from the first one's replies.
    archives::RequestFn sender() {
        return [this](const archives::Request& r) -> std::optional<QByteArray> {
            if (auto it = m_replies.find(keyOf(r)); it != m_replies.end()) return it->second;
            archives::send(m_bus, m_addr, r);
            count();
            if (!m_bus.replyOk()) return std::nullopt;
            const QByteArray reply = m_bus.reply();
            if (records::isJournal(r.archive)) {
                for (const JournalEntry& e : records::journalEntries(reply, r.count))
                    m_outcome.badRecords += !e.checkOk;
            } else {
                for (const ArchiveRecord& a : records::archiveRecords(reply, r.count))
                    m_outcome.badRecords += !a.checkOk;
            }
            m_replies.emplace(keyOf(r), reply);
            return reply;
        };
    }

    archives::ProgressFn told() {
        return [this](int done, int due) {
            if (m_progress) m_progress(m_what, done, due);
        };
    }

    // What the line did, told with the outcome.
    void count() {
        ++m_outcome.requests;
        m_outcome.bytes += m_bus.requestFrame().size() + m_bus.replyFrame().size();
        if (!m_bus.replyOk()) ++m_outcome.linkFailures;
    }

    store::Outcome finish(store::Outcome::Result result, const QString& reason) {
        store::Outcome o = m_outcome;
        o.result = result;
        if (!reason.isEmpty()) o.tellFirst(reason);
        return o;
    }

    store::Outcome linkFailure(const QString& during) {
        return finish(store::Outcome::Result::Failed, describe(m_bus.replyStatus(), m_bus.exceptionCode()) +
                                                          QStringLiteral(" (%1)").arg(during));
    }

    // All of the visit in one transaction, whether it went to the end or not.
    store::Outcome save(store::Outcome outcome) {
        QString error;
        QElapsedTimer writing;
        writing.start();
        const std::optional<store::Written> written = m_db.storeVisit(m_visit, &error);
        outcome.writeMs += double(writing.nsecsElapsed()) / 1e6;
        if (!written) {
            outcome.fail(QStringLiteral("database: ") + error);
            return outcome;
        }
        outcome.periods = written->periods;
        outcome.entries = written->entries;
        return outcome;
    }

    TModBus& m_bus;
    store::VisitStore& m_db;
    const MeterEntry& m_meter;
    const VisitProgress& m_progress;
    const std::uint8_t m_addr;
    store::Outcome m_outcome;    // what the visit learnt and did so far, told with whatever ends it
    store::MeterVisit m_visit{}; // what it stores
    std::int64_t m_meterNow = 0; // the meter's clock, as a device time
    std::map<RequestKey, QByteArray> m_replies;
    QString m_what;    // the archive or journal being read, for the progress and a failure
    int m_notRead = 0; // periods (of each channel) neither this visit nor an earlier one could read
    int m_damagedBefore = 0;
};

} // namespace

store::Outcome visitMeter(TModBus& bus, store::VisitStore& db, const MeterEntry& meter,
                          const VisitProgress& progress) {
    return Visit(bus, db, meter, progress).run();
}

} // namespace collect
