// What kastari-web costs on a large fleet: N meters with D days of hours, days and months on both
// channels (a few gaps, journals with open events, a month of nightly runs), in SQLite and in
// PostgreSQL (the tests' throwaway server). Timed through WebApp, without sockets: the state query
// alone (always worked out afresh), the fleet page and /api/meters as served (kept while the
// database does not change, so the first of them pays the query), one meter's month page (p50 and
// p95 of R requests each), and the resident memory before and after 10,000 mixed requests.
//
//   bench_web_bench [--meters N] [--days D] [--requests R] [--db sqlite|postgresql|both]
//
// Defaults: 1,000 meters, 365 days, 200 requests, both databases. Filling a year for 1,000 meters
// writes about 18 million periods and takes minutes; --meters 100 gives a quick look.
#include "bench/benchsupport.h"
#include "databasebench.h"
#include "device/encodings.h"
#include "store/meterstate.h"
#include "store/transaction.h"
#include "web/webapp.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {

constexpr cmdline::Option Options[] = {
    bench::numberOption("meters"),
    bench::numberOption("days", 31),
    bench::numberOption("requests", 20),
    {.names = "db", .value = "DB", .choices = "sqlite|postgresql|both"},
};

struct Args {
    int meters, days, requests;
};

constexpr std::int64_t Hour = 3600, Day = 86400;

bool fill(store::Store& db, const Args& a, std::int64_t end) {
    QString error;
    const std::int64_t start = end - a.days * Day;
    QElapsedTimer t;
    t.start();
    for (int m = 1; m <= a.meters; ++m) {
        store::MeterVisit v{.number = std::uint32_t(100000 + m),
                            .line = QStringLiteral("/dev/ttyUSB%1").arg(m / 32),
                            .name = QStringLiteral("Узел учёта %1").arg(m),
                            .address = m % 32 + 1,
                            .deviceText = QStringLiteral("КАСТАРИ-ДК v3.12")};
        for (int ch = 1; ch <= 2; ++ch) {
            for (std::int64_t h = start; h < end; h += Hour) {
                const bool gap = (h / Hour + m) % 2000 == 0;
                v.periods << store::PeriodRow{.archive = 0,
                                              .channel = ch,
                                              .start = h,
                                              .state = gap ? store::PeriodRow::State::Gap
                                                           : store::PeriodRow::State::Volumes,
                                              .plus = 1.5,
                                              .minus = 0.01,
                                              .downtime = 0,
                                              .recordedAt = h + Hour};
            }
            for (std::int64_t d = start; d < end; d += Day)
                v.periods << store::PeriodRow{.archive = 1,
                                              .channel = ch,
                                              .start = d,
                                              .plus = 36,
                                              .minus = 0.2,
                                              .downtime = m % 10 == 0 ? 7200 : 0,
                                              .recordedAt = d + Day};
            for (int mo = 0; mo < a.days / 30; ++mo)
                v.periods << store::PeriodRow{
                    .archive = 2, .channel = ch, .start = start + mo * 30 * Day, .plus = 1000, .minus = 5};
        }
        for (int e = 0; e < 30; ++e)
            v.entries << store::EntryRow{
                .journal = 3 + e % 3,
                .code = 1 + e % 5,
                .started = start + e * 7 * Day,
                .ended = (m % 7 == 0 && e == 29) ? std::nullopt : std::optional(start + e * 7 * Day + 600)};
        if (!db.storeVisit(v, &error)) {
            std::fprintf(stderr, "storing meter %d: %s\n", m, qPrintable(error));
            return false;
        }
        if (m % 100 == 0) std::fprintf(stderr, "  %d meters stored, %.0f s\n", m, t.elapsed() / 1000.0);
    }
    // A month of nightly runs; every 50th meter stopped answering a week ago.
    store::Transaction runs(db.db());
    QSqlQuery q(db.db());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int run = 0; run < 30; ++run) {
        const QString id = QStringLiteral("run-%1").arg(run);
        db.beginRun(id, QDateTime::fromMSecsSinceEpoch(now - (30 - run) * Day * 1000),
                    QStringLiteral("bench"));
        q.prepare(
            QStringLiteral("INSERT INTO run_meters (run, line, address, name, meter, visited_ms, outcome, "
                           "reason, periods, entries,"
                           " requests, bytes, link_failures, bad_records) VALUES (?, ?, ?, '', ?, ?, "
                           "?, ?, 0, 0, 0, 0, 0, 0)"));
        for (int m = 1; m <= a.meters; ++m) {
            const bool silent = m % 50 == 0 && run >= 23;
            q.addBindValue(id);
            q.addBindValue(QStringLiteral("/dev/ttyUSB%1").arg(m / 32));
            q.addBindValue(m % 32 + 1);
            q.addBindValue(silent ? QVariant(QMetaType::fromType<qlonglong>())
                                  : QVariant(qlonglong(100000 + m)));
            q.addBindValue(now - (30 - run) * Day * 1000 + m * 1000);
            q.addBindValue(silent ? 1 : 0);
            q.addBindValue(silent ? QStringLiteral("no reply") : QString(""));
            if (!q.exec()) {
                std::fprintf(stderr, "run rows: %s\n", qPrintable(q.lastError().text()));
                return false;
            }
        }
    }
    if (QString why; !runs.commit(&why)) {
        std::fprintf(stderr, "run rows: %s\n", qPrintable(why));
        return false;
    }
    if (db.db().driverName() == u"QPSQL") q.exec(QStringLiteral("ANALYZE"));
    std::fprintf(stderr, "  filled in %.0f s\n", t.elapsed() / 1000.0);
    return true;
}

struct Percentiles {
    double p50 = 0, p95 = 0;
};

Percentiles timed(int n, const std::function<void(int)>& work) {
    QList<double> ms;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        work(i);
        ms << t.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min<qsizetype>(ms.size() - 1, qsizetype(ms.size() * 0.95))]};
}

void measure(const QString& backend, const store::Location& location, const Args& a) {
    QString error;
    std::unique_ptr<store::Store> db = store::Store::open(location, &error);
    if (!db) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(backend), qPrintable(error));
        return;
    }
    const std::int64_t end = enc::DateToSec(QDate::currentDate().startOfDay());
    std::fprintf(stderr, "%s: filling %d meters x %d days\n", qPrintable(backend), a.meters, a.days);
    if (!fill(*db, a, end)) return;
    web::WebApp app(*db, {});
    const auto get = [&](const QString& path, const QString& query = {}) {
        const web::Response r = app.handle({.path = path, .query = QUrlQuery(query), .remote = "127.0.0.1"});
        if (r.status != 200)
            std::fprintf(stderr, "%s?%s: %d\n", qPrintable(path), qPrintable(query), r.status);
        return r.body.size();
    };
    const QString month = enc::SecToDate(std::uint32_t(end - 10 * Day)).toString(QStringLiteral("yyyy-MM"));
    const Percentiles states =
        timed(a.requests, [&](int) { store::meterStates(*db, {}, QDateTime::currentDateTime(), &error); });
    const Percentiles fleet = timed(a.requests, [&](int) { get(QStringLiteral("/")); });
    const Percentiles api = timed(a.requests, [&](int) { get(QStringLiteral("/api/meters")); });
    const Percentiles meter = timed(a.requests, [&](int i) {
        get(QStringLiteral("/meter/%1").arg(100001 + (i * 37) % a.meters), QStringLiteral("month=") + month);
    });
    // Memory over many requests: a leak per request shows as growth, a cache as a step.
    for (int i = 0; i < 200; ++i)
        get(QStringLiteral("/meter/%1").arg(100001 + i % a.meters));
    const long before = bench::residentKb();
    for (int i = 0; i < 10000; ++i) {
        switch (i % 4) {
        case 0:
            get(QStringLiteral("/api/meters/%1").arg(100001 + i % a.meters));
            break;
        case 1:
            get(QStringLiteral("/meter/%1").arg(100001 + i % a.meters), QStringLiteral("month=") + month);
            break;
        case 2:
            get(QStringLiteral("/api/meters/%1/periods").arg(100001 + i % a.meters),
                QStringLiteral("archive=day"));
            break;
        default:
            app.handle({.path = QStringLiteral("/meter/%1/nothing").arg(i), .remote = "127.0.0.1"});
        }
    }
    const long after = bench::residentKb();
    std::printf(
        "%-10s %5d meters %3d days   states p50 %6.1f p95 %6.1f ms   fleet page p50 %6.1f p95 %6.1f ms"
        "   /api/meters p50 %6.1f p95 %6.1f ms   month page p50 %6.1f p95 %6.1f ms   RSS %ld -> %ld kB over "
        "10000 requests\n",
        qPrintable(backend), a.meters, a.days, states.p50, states.p95, fleet.p50, fleet.p95, api.p50, api.p95,
        meter.p50, meter.p95, before, after);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    cmdline::CommandLine line(Options);
    if (!bench::parsed(
            line, "bench_web_bench [--meters N] [--days D] [--requests R] [--db sqlite|postgresql|both]"))
        return 1;
    const Args a{.meters = bench::number(line, "meters", 1000),
                 .days = bench::number(line, "days", 365),
                 .requests = bench::number(line, "requests", 200)};
    const QString only = line.value("db");
    QTemporaryDir dir;
    std::unique_ptr<PgCluster> cluster;
    for (const QString backend : {"sqlite", "postgresql"}) {
        if (!only.isEmpty() && only != "both" && only != backend) continue;
        QString why;
        if (const std::optional<store::Location> where = bench::database(backend, dir, cluster, &why))
            measure(backend, *where, a);
        else
            std::fprintf(stderr, "postgresql: %s\n", qPrintable(why));
    }
    return 0;
}
