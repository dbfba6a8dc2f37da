// Many lines against one database server: simulated serial device servers on loopback (one meter
// each, with its full history), all collected at once into PostgreSQL as it comes (100 connections),
// or into SQLite.
//
//   bench_collect_lines_bench [--lines N] [--baud B] [--db postgresql|sqlite]
//
// Defaults: 300 lines, replies unpaced, PostgreSQL. With --baud the simulators pace their replies at
// that speed. The simulators run in a child process (this program with --serve), so the figures
// printed are the collector's own: meters stored, the wall time, its processor time against the
// wall time, its peak resident memory, the most connections the database saw at once (this
// program's own for the run's record and the count included), and the share of the wall time the
// line that waited longest spent waiting for the database and writing.
#include "collect/meterlist.h"
#include "databasebench.h"
#include "device/encodings.h"
#include "sim/simulator.h"

#include <QMap>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>
#include <iostream>
#include <thread>

namespace {

constexpr cmdline::Option Options[] = {
    bench::numberOption("lines"),
    bench::numberOption("baud"),
    {.names = "db", .value = "DB", .choices = "postgresql|sqlite"},
    {.names = "serve"},
};

struct Args {
    int lines;
    int baud; // 0: unpaced
    QString backend;
    bool serve;
};

// The child: one simulator per line, each a device server on a free loopback port, until stdin
// closes.
int serve(const Args& a) {
    std::vector<std::unique_ptr<sim::Simulator>> sims;
    for (int line = 0; line < a.lines; ++line) {
        sim::SimOptions o;
        o.devices.append(sim::DeviceOptions{.address = 1, .idText1 = {}, .idText2 = {}});
        o.seed = quint32(line + 1);
        o.startTime = enc::DateToSec(QDateTime(QDate(2026, 3, 1), QTime(10, 30), Qt::UTC));
        o.clockRuns = false;
        o.pacing = a.baud > 0;
        if (a.baud) o.baud = a.baud;
        o.tcpPort = 0;
        o.pty = false;
        auto s = std::make_unique<sim::Simulator>(o);
        QString error;
        if (!s->start(&error)) {
            std::fprintf(stderr, "simulator %d: %s\n", line + 1, qPrintable(error));
            return 1;
        }
        std::printf("%d\n", s->tcpPort());
        sims.push_back(std::move(s));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}

double peakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    cmdline::CommandLine line(Options);
    if (!bench::parsed(line, "bench_collect_lines_bench [--lines N] [--baud B] [--db postgresql|sqlite]"))
        return 1;
    const Args a{.lines = bench::number(line, "lines", 300),
                 .baud = bench::number(line, "baud", 0),
                 .backend = line.isSet("db") ? line.value("db") : QStringLiteral("postgresql"),
                 .serve = line.isSet("serve")};
    if (a.serve) return serve(a);

    QString error;
    QTemporaryDir files;
    std::unique_ptr<PgCluster> cluster;
    const std::optional<store::Location> where = bench::database(a.backend, files, cluster, &error);
    if (!where) {
        std::printf("postgresql skipped: %s\n", qPrintable(error));
        return 0;
    }
    const std::unique_ptr<store::Store> db = store::Store::open(*where, &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    int maxConnections = 0;
    if (cluster) {
        QSqlQuery q(db->db());
        if (q.exec("SHOW max_connections") && q.next()) maxConnections = q.value(0).toInt();
    }

    QProcess servers;
    QStringList serveArgs{"--serve", "--lines", QString::number(a.lines)};
    if (a.baud) serveArgs << "--baud" << QString::number(a.baud);
    servers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    servers.start(QCoreApplication::applicationFilePath(), serveArgs);
    QString list;
    for (;;) {
        if (!servers.canReadLine() && !servers.waitForReadyRead(120000)) {
            std::fprintf(stderr, "the simulators did not start\n");
            return 1;
        }
        const QString line = QString::fromLatin1(servers.readLine()).trimmed();
        if (line == "ready") break;
        list += QStringLiteral("tcp://127.0.0.1:%1 1 %2\n").arg(line).arg(a.baud ? a.baud : 115200);
    }
    const std::optional<QList<collect::MeterEntry>> meters = collect::parseMeterList(list, "lines", &error);
    if (!meters) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // The most connections the database has at once, looked at every 50 ms from a connection of its own.
    std::atomic<bool> running{true};
    std::atomic<int> peakConnections{0};
    std::thread watcher([&] {
        if (!cluster) return;
        QString why;
        const std::unique_ptr<store::Store> watch = store::Store::open(*where, &why);
        if (!watch) return;
        QSqlQuery q(watch->db());
        while (running) {
            if (q.exec("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database()") &&
                q.next())
                peakConnections = std::max(peakConnections.load(), q.value(0).toInt());
            QThread::msleep(50);
        }
    });

    std::printf("%d TCP lines, one meter each, %s, into %s%s\n", a.lines,
                a.baud ? qPrintable(QStringLiteral("paced at %1 bit/s").arg(a.baud)) : "unpaced",
                qPrintable(a.backend),
                maxConnections ? qPrintable(QStringLiteral(" (max_connections %1)").arg(maxConnections))
                               : "");
    std::printf("%-6s %9s %8s %7s %7s %8s %9s %9s\n", "run", "stored", "requests", "wall s", "cpu %",
                "peak MB", "db wait %", "worst %");
    // The first run writes every meter's whole history, all lines at about the same moment; the
    // second, at once after it, only what is new, as every later run does.
    bool allStored = true;
    for (const char* name : {"first", "again"}) {
        const QString run = QStringLiteral("lines-bench-%1").arg(name);
        const auto [outcomes, wallS, cpuS] =
            bench::collectTimed(*meters, {.database = *where, .fast = true}, *db, run);
        int stored = 0;
        qint64 requests = 0;
        double dbMs = 0, worstLineDbMs = 0;
        QMap<QString, double> lineDbMs;
        for (const store::Outcome& o : outcomes) {
            stored += o.result == store::Outcome::Result::Stored;
            requests += o.requests;
            dbMs += o.writeMs;
            worstLineDbMs = std::max(worstLineDbMs, lineDbMs[o.line] += o.writeMs);
            if (o.result != store::Outcome::Result::Stored)
                std::fprintf(stderr, "  %s: %s\n", qPrintable(o.line), qPrintable(o.reason));
        }
        const int onRecord = int(db->outcomes(run).size());
        allStored = allStored && stored == int(outcomes.size()) && onRecord == stored;
        // A line's time is the wall time: every line runs from the start to about the end.
        const double share = 100 * dbMs / 1000 / (wallS * double(lineDbMs.size()));
        const double worst = 100 * worstLineDbMs / 1000 / wallS;
        std::printf("%-6s %4d/%-4d %8lld %7.1f %7.1f %8.0f %8.2f%s %8.2f%s\n", name, stored,
                    int(outcomes.size()), static_cast<long long>(requests), wallS, 100 * cpuS / wallS,
                    peakMegabytes(), share, share >= 2 ? "!" : " ", worst, worst >= 2 ? "!" : " ");
        std::fflush(stdout);
    }
    running = false;
    watcher.join();
    servers.closeWriteChannel();
    if (!servers.waitForFinished(30000)) servers.kill();
    if (cluster)
        std::printf("database connections at most %d at once (this program's run record and watcher included;"
                    " the collector opens at most %d)\n",
                    peakConnections.load(), collect::MaxConnections);
    std::printf(
        "cpu %%: the collector's processor time against the wall time (100 = one core); db wait %%: the"
        " lines' time spent\nwaiting for and writing the database, on average and for the line that"
        " waited longest; '!' marks 2 %% or more\n");
    return allStored ? 0 : 2;
}
