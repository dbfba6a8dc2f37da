// What collecting a fleet costs: simulated meters on several lines (kastari-sim processes on
// pseudo-terminals, paced at the line speed, each meter with its full history), collected once in
// full and again after one simulated day, into SQLite and into PostgreSQL.
//
//   bench_collect_bench [--meters N] [--lines L] [--fast] [--baud B] [--clock-rate R]
//                       [--db sqlite|postgresql|both]
//
// Defaults: 50 meters on 5 lines at 9600 bit/s, both databases. Printed per database and run: the
// wall time against the wire floor of the busiest line (every request and reply at 10 bits per
// character, plus the silence after each reply, or the fast gap with --fast), the processor time of
// this process (the collector; the simulators and the PostgreSQL server are other processes)
// against the wall time, and the time the collector spent writing the database against the wall
// time. The meters' clocks run R times as fast as the PC's, so that a simulated day passes between
// the two runs; meters visited early in the first run also have what passed during it to read.
// "db %" is the write time of all lines together, "line %" that of the line that wrote longest.
#include "archives/journalreading.h"
#include "collect/meterlist.h"
#include "databasebench.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/tmodbus.h"
#include "link/tmscomm.h"

#include <QMap>
#include <QProcess>
#include <QThread>
#include <cmath>

namespace {

constexpr cmdline::Option Options[] = {
    bench::numberOption("meters"),
    bench::numberOption("lines"),
    bench::numberOption("baud"),
    bench::numberOption("clock-rate"),
    {.names = "fast"},
    {.names = "db", .value = "DB", .choices = "sqlite|postgresql|both"},
};

struct Args {
    explicit Args(const cmdline::CommandLine& line)
        : meters(bench::number(line, "meters", 50)), lines(bench::number(line, "lines", 5)),
          baud(bench::number(line, "baud", 9600)), fast(line.isSet("fast")),
          clockRate(bench::number(line, "clock-rate", 0)) {
        if (line.isSet("db") && line.value("db") != "both") backends = QStringList{line.value("db")};
    }
    int meters, lines, baud;
    bool fast;
    int clockRate; // 0: from the expected length of the first run
    QStringList backends{"sqlite", "postgresql"};
};

struct Figures {
    double wallS = 0, floorS = 0, cpuS = 0, writeS = 0;
    double lineWriteS = 0; // of the line that spent the most
    int stored = 0, meters = 0;
    qint64 requests = 0;
};

// The quiet time each transaction adds on the wire besides its bytes.
double gapMs(const Args& a) {
    if (!a.fast) return TModBus::DefaultSilenceMs;
    TModBus bus;
    bus.MSComm1()->setSettings(linespeed::settingsFor(a.baud));
    return bus.interFrameGapMs();
}

// The wire time of one meter's journals, which every visit reads whole: each request of 8 bytes and
// its reply of 5 bytes and 10 a entry, with the gap after it.
double journalsFloorMs(const Args& a) {
    double ms = 0;
    for (int journal = 3; journal <= 6; ++journal)
        for (int first = 0; first < archives::journalSize(journal); first += archives::EntriesPerRequest) {
            const int count = std::min(archives::EntriesPerRequest, archives::journalSize(journal) - first);
            ms += double(8 + 5 + 10 * count) * 10 * 1000 / a.baud + gapMs(a);
        }
    return ms;
}

// One kastari-sim per line; the meter list that reaches them.
class Fleet {
  public:
    bool start(const Args& a, int clockRate, QString* error) {
        const int perLine = a.meters / a.lines;
        QString list;
        for (int line = 0; line < a.lines; ++line) {
            const QString path = m_dir.filePath(QStringLiteral("line%1").arg(line + 1));
            QStringList args{"--link",       path,
                             "--baud",       QString::number(a.baud),
                             "--seed",       QString::number(line + 1),
                             "--time",       "01.03.2026 10:30:00",
                             "--clock-rate", QString::number(clockRate)};
            for (int m = 0; m < perLine + (line < a.meters % a.lines); ++m) {
                args << "--device"
                     << QStringLiteral("%1:number=%2").arg(m + 1).arg(700000 + line * 1000 + m + 1);
                list += QStringLiteral("%1 %2 %3\n").arg(path).arg(m + 1).arg(a.baud);
            }
            auto p = std::make_unique<QProcess>();
            p->start(QStringLiteral(KASTARI_SIM), args);
            if (!p->waitForStarted(5000) || !p->waitForReadyRead(10000)) {
                *error = QStringLiteral("kastari-sim did not start: ") + p->readAllStandardError();
                return false;
            }
            m_sims.push_back(std::move(p));
        }
        const std::optional<QList<collect::MeterEntry>> parsed =
            collect::parseMeterList(list, "fleet", error);
        if (!parsed) return false;
        meters = *parsed;
        return true;
    }
    ~Fleet() {
        for (auto& p : m_sims) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
        }
    }
    QList<collect::MeterEntry> meters;

  private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_sims;
};

Figures collectOnce(const Args& a, const Fleet& fleet, store::Store& db, const store::Location& where,
                    const QString& run) {
    const bench::TimedRun timed =
        bench::collectTimed(fleet.meters, {.database = where, .fast = a.fast}, db, run);
    Figures f{.wallS = timed.wallS, .cpuS = timed.cpuS};
    QMap<QString, double> lineFloorMs, lineWriteMs;
    const double gap = gapMs(a);
    for (const store::Outcome& o : timed.outcomes) {
        lineFloorMs[o.line] += double(o.bytes) * 10 * 1000 / a.baud + o.requests * gap;
        f.writeS += o.writeMs / 1000;
        lineWriteMs[o.line] += o.writeMs;
        f.stored += o.result == store::Outcome::Result::Stored;
        f.requests += o.requests;
        ++f.meters;
        if (o.result != store::Outcome::Result::Stored)
            std::fprintf(stderr, "  %s %d: %s\n", qPrintable(o.line), o.address, qPrintable(o.reason));
    }
    for (const double ms : lineFloorMs)
        f.floorS = std::max(f.floorS, ms / 1000);
    for (const double ms : lineWriteMs)
        f.lineWriteS = std::max(f.lineWriteS, ms / 1000);
    return f;
}

void print(const char* backend, const char* run, const Figures& f, double floorTarget) {
    const double ratio = f.wallS / f.floorS, cpu = 100 * f.cpuS / f.wallS, write = 100 * f.writeS / f.wallS;
    const double lineWrite = 100 * f.lineWriteS / f.wallS;
    std::printf("%-10s %-12s %4d/%-4d %7lld %9.1f %9.1f %7.3f%s %6.2f%s %9.2f %6.2f%s %6.2f%s\n", backend,
                run, f.stored, f.meters, static_cast<long long>(f.requests), f.wallS, f.floorS, ratio,
                floorTarget > 0 && ratio > floorTarget ? "!" : " ", cpu, cpu >= 5 ? "!" : " ", f.writeS,
                write, write >= 2 ? "!" : " ", lineWrite, lineWrite >= 2 ? "!" : " ");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    cmdline::CommandLine line(Options);
    if (!bench::parsed(line, "bench_collect_bench [--meters N] [--lines L] [--fast] [--baud B]"
                             " [--clock-rate R] [--db sqlite|postgresql|both]"))
        return 1;
    const Args a(line);
    if (a.lines > a.meters) {
        std::fprintf(stderr, "--lines must not be more than --meters\n");
        return 1;
    }
    const int perLine = (a.meters + a.lines - 1) / a.lines;
    // A full visit takes about 30 s of wire at 9600 bit/s with fast completion, 90 s with the
    // silence rule; the day between the runs lasts about twice the first run.
    const double visitS = (a.fast ? 30.0 : 90.0) * 9600 / a.baud;
    const int clockRate = a.clockRate ? a.clockRate : std::max(1, int(86400 / (2 * perLine * visitS)));
    std::printf("%d meters on %d lines at %d bit/s, %s; meter clocks at %dx\n", a.meters, a.lines, a.baud,
                a.fast ? "fast completion" : "the silence rule", clockRate);
    std::printf("%-10s %-12s %9s %7s %9s %9s %8s %7s %9s %7s %7s\n", "database", "run", "stored", "requests",
                "wall s", "floor s", "ratio", "cpu %", "db write s", "db %", "line %");

    std::unique_ptr<PgCluster> cluster;
    for (const QString& backend : a.backends) {
        QString error;
        QTemporaryDir files;
        const std::optional<store::Location> where = bench::database(backend, files, cluster, &error);
        if (!where) {
            std::printf("%-10s skipped: %s\n", "postgresql", qPrintable(error));
            continue;
        }
        const std::unique_ptr<store::Store> db = store::Store::open(*where, &error);
        Fleet fleet;
        if (!db || !fleet.start(a, clockRate, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(backend), qPrintable(error));
            return 1;
        }
        const QByteArray name = backend.toUtf8();
        const Figures first = collectOnce(a, fleet, *db, *where, backend + "-first");
        print(name, "first", first, a.fast ? 1.15 : 0);
        // One simulated day after the first run ended.
        QThread::msleep(static_cast<unsigned long>(86400.0 / clockRate * 1000));
        const Figures next = collectOnce(a, fleet, *db, *where, backend + "-next");
        print(name, "after a day", next, a.fast ? 1.15 : 0);
        const double shorter = first.wallS / next.wallS;
        std::printf("%-10s incremental run %.1fx shorter than the first%s; it read up to %.1f simulated days"
                    " since a meter's visit\n",
                    name.constData(), shorter, shorter < 20 ? " (target 20x: MISSED)" : "",
                    1 + first.wallS * clockRate / 86400);
        // The journals are read whole at every visit; what is left shows how much the archives save.
        const double journalsS = journalsFloorMs(a) / 1000 * std::ceil(double(a.meters) / a.lines);
        std::printf("%-10s the journals, read whole at every visit, are %.1f s of the busiest line's floor;"
                    " the archives alone: %.1fx shorter\n",
                    name.constData(), journalsS,
                    (first.wallS - journalsS) / std::max(0.001, next.wallS - journalsS));
    }
    std::printf(
        "targets: ratio <= 1.15 with --fast, cpu < 5 %%, db write < 2 %% of wall; '!' marks a miss\n");
    return 0;
}
