#include "collect/collector.h"

#include "collect/visit.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/modem.h"
#include "link/portmap.h"
#include "link/replystatus.h"
#include "link/tmodbus.h"
#include "link/trafficrecorder.h"
#include "store/storepool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

namespace collect {

namespace {

// The exchange log of one line, written as it happens so a killed run keeps what it did.
class LineTrace {
  public:
    LineTrace(const QString& dir, const QString& port, TModBus& bus) {
        if (dir.isEmpty()) return;
        QString name = port;
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
        m_file.setFileName(QDir(dir).filePath(name + QStringLiteral(".csv")));
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        m_file.write(traffic::csvHeader());
        m_recorder.onEntry = [this](const TrafficEntry& e) {
            m_file.write(traffic::csvRow(e));
            m_file.flush();
        };
        m_recorder.attach(bus);
    }
    ~LineTrace() { m_recorder.flush(); }

  private:
    QFile m_file;
    TrafficRecorder m_recorder{1};
};

// A device server that already serves a master takes a second connection and drops it at once,
// before any reply: the silence is then not the meter's. Another program is the likely cause, but
// a server may drop connections for reasons of its own, so it is said as likely.
void sayWhenTheServerHungUp(const TModBus& bus, store::Outcome& o) {
    const QString noReply = describe(ReplyStatus::NoReply);
    if (o.result != store::Outcome::Result::Failed || o.number || !bus.linkLost() ||
        !o.reason.startsWith(noReply))
        return;
    o.reason.replace(0, noReply.size(),
                     QStringLiteral("the device server hung up without a reply: the line is likely in use by "
                                    "another program"));
}

// One collection: worker threads take the lines one at a time, each with an engine of its own;
// the database is the pool's, shared by all lines.
class Collection {
  public:
    Collection(const QList<MeterEntry>& meters, const CollectOptions& options, const QString& run,
               const CollectReport& report, const std::atomic<bool>& stop)
        : m_lines(byPort(meters)), m_options(options), m_run(run), m_report(report), m_stop(stop) {
        for (const MeterEntry& m : meters) {
            if (m_outcomeIndex.size() <= m.lineNumber) m_outcomeIndex.resize(m.lineNumber + 1);
            m_outcomeIndex[m.lineNumber] = int(m_outcomes.size());
            m_outcomes.append({.line = m.line,
                               .name = m.name,
                               .address = m.address,
                               .result = store::Outcome::Result::Skipped,
                               .reason = QStringLiteral("not visited: stopped")});
        }
    }

    QList<store::Outcome> run() {
        const int workers =
            int(m_options.lines > 0 ? std::min<qsizetype>(m_options.lines, m_lines.size()) : m_lines.size());
        if (workers)
            m_db = store::StorePool::open(m_options.database, std::min(workers, MaxConnections), &m_dbError);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int i = 0; i < workers; ++i) {
            threads.emplace_back(QThread::create([this] {
                for (int line = m_next++; line < m_lines.size(); line = m_next++)
                    collectLine(line);
            }));
            threads.back()->start();
        }
        for (auto& t : threads)
            t->wait();
        return m_outcomes;
    }

  private:
    void collectLine(int line) {
        store::StorePool* const db = m_db.get();
        const QList<MeterEntry>& meters = m_lines[line];
        TModBus bus;
        const LineTrace trace(m_options.traceDir, meters.first().port, bus);
        bus.setFastCompletion(m_options.fast);
        bus.setRetries(m_options.retries);
        if (m_options.silenceMs) bus.setModbusSilenceMs(m_options.silenceMs);
        LinkPort* port = bus.MSComm1();
        port->setSystemPortName(PortMap::resolve(meters.first().port));
        int done = 0;
        const auto tell = [&](const MeterEntry& m, const QString& text) {
            if (!m_report.progress) return;
            const QString who = QStringLiteral("%1 %2%3").arg(m.line).arg(m.address).arg(
                m.name.isEmpty() ? QString() : u' ' + m.name);
            QMutexLocker lock(&m_reportLock);
            m_report.progress(
                line, QStringLiteral("[%1/%2] %3: %4").arg(done + 1).arg(meters.size()).arg(who, text));
        };
        for (const QList<MeterEntry>& call : byCall(meters)) {
            if (m_stop) break;
            const MeterEntry& first = call.first();
            const bool dialled = !first.dial.isEmpty() && db;
            modem::DialResult dial = modem::DialResult::Connected;
            if (dialled) {
                tell(first, QStringLiteral("dialling %1").arg(first.dial));
                port->setSettings(linespeed::settingsFor(first.speed));
                modem::DialSettings settings = m_options.modem;
                settings.phoneNumber = first.dial;
                dial = modem::dial(bus, settings);
            }
            // A call's outcomes wait for its hang-up, which may yet go wrong.
            QList<store::Outcome> outcomes;
            for (const MeterEntry& m : call) {
                if (m_stop) break;
                store::Outcome o{.line = m.line, .name = m.name, .address = m.address};
                if (!db) {
                    o.fail(QStringLiteral("database: ") + m_dbError);
                } else if (dial != modem::DialResult::Connected) {
                    o.fail(modem::summaryText(dial));
                } else {
                    tell(m, QStringLiteral("connecting"));
                    // A modem keeps the speed it was dialled at, whatever its meters are listed with.
                    if (!dialled) port->setSettings(linespeed::settingsFor(m.speed));
                    o = visitMeter(bus, *db, m, [&](const QString& what, int d, int due) {
                        tell(m, QStringLiteral("%1 %2 of %3").arg(what).arg(d).arg(due));
                    });
                    sayWhenTheServerHungUp(bus, o);
                }
                ++done;
                if (dialled)
                    outcomes.append(o);
                else
                    report(o, m);
            }
            if (!dialled) continue;
            tell(first, QStringLiteral("hanging up"));
            if (!modem::hangUp(bus, dial))
                for (store::Outcome& o : outcomes)
                    o.tellLast(QStringLiteral("the modem did not confirm hanging up"));
            for (int i = 0; i < outcomes.size(); ++i)
                report(outcomes[i], call[i]);
        }
    }

    void report(store::Outcome o, const MeterEntry& m) {
        if (m_db) {
            QElapsedTimer writing;
            writing.start();
            QString error;
            // Not on record is not done: whatever the visit stored, the outcome says it failed.
            if (!m_db->call([&](store::Store& s) { return s.recordOutcome(m_run, o, &error); }))
                o.fail(QStringLiteral("database: the outcome cannot be recorded: ") + error);
            o.writeMs += double(writing.nsecsElapsed()) / 1e6;
        }
        QMutexLocker lock(&m_reportLock);
        m_outcomes[m_outcomeIndex[m.lineNumber]] = o;
        if (m_report.visited) m_report.visited(o);
    }

    const QList<QList<MeterEntry>> m_lines;
    const CollectOptions& m_options;
    const QString& m_run;
    const CollectReport& m_report;
    const std::atomic<bool>& m_stop;
    std::atomic<int> m_next{0};
    QMutex m_reportLock;
    QList<store::Outcome> m_outcomes;
    QList<int> m_outcomeIndex; // by line number in the file
    std::unique_ptr<store::StorePool> m_db;
    QString m_dbError;
};

} // namespace

QList<store::Outcome> collectOnce(const QList<MeterEntry>& meters, const CollectOptions& options,
                                  const QString& run, const CollectReport& report,
                                  const std::atomic<bool>& stop) {
    return Collection(meters, options, run, report, stop).run();
}

} // namespace collect
