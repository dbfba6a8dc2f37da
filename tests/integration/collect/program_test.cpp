// kastari-collect as people run it, against kastari-sim: its exit status and what it says.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

#include "collectprocess.h"
#include "store/store.h"
#include "testdatabases.h"

namespace {

using Result = CollectResult;

class CollectProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("line");
        sim.start(QStringLiteral(KASTARI_SIM), {"--link", link, "--device", "1", "--device", "4",
                                                "--no-pacing", "--seed", "3", "--time", "01.03.2026 10:30"});
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(sim.waitForReadyRead(10000));
    }
    void TearDown() override {
        for (QProcess* p : {&sim, &line2, &twin, &line3}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
        }
    }
    // A simulator on its own line, paced at a real speed; its link's path.
    QString startLine(QProcess& p, const QString& name, const QStringList& devices) {
        const QString path = dir.filePath(name);
        QStringList args{"--link", path, "--baud", "115200", "--seed", "3", "--time", "01.03.2026 10:30"};
        for (const QString& d : devices)
            args << "--device" << d;
        p.start(QStringLiteral(KASTARI_SIM), args);
        EXPECT_TRUE(p.waitForStarted(5000));
        EXPECT_TRUE(p.waitForReadyRead(10000));
        return path;
    }
    QString write(const QString& name, const QString& text) { return writeTestFile(dir.path(), name, text); }
    Result collect(const QStringList& args) { return runCollect(dir.path(), args); }
    // A new database's URL; nothing when it cannot be had, *skip then saying why (and the test
    // failed when the server is installed but would not start).
    std::optional<QString> database(Backend backend, QString* skip) {
        if (backend == Backend::SQLite)
            return "sqlite:" + dir.filePath(QStringLiteral("db%1.sqlite").arg(++databases));
        bool failed = false;
        const std::optional<QString> url = newDatabase(backend, skip, &failed);
        if (!url && failed) ADD_FAILURE() << skip->toStdString();
        return url;
    }
    void expectSameRows(const QString& a, const QString& b, const QList<std::uint32_t>& meters);
    void killMidMeterThenRunAgain(Backend backend);
    QTemporaryDir dir;
    QString link;
    QProcess sim, line2, twin, line3;
    int databases = 0;
};

TEST_F(CollectProgram, ExitStatusTellsWhatWasCollected) {
    const QString all = write("all", QStringLiteral("# the test line\n%1 1 Первый\n%1 4\n").arg(link));
    const QString some = write("some", QStringLiteral("%1 1\n%1 5 нет такого\n").arg(link));
    const QString bad = write("bad", QStringLiteral("%1 1\n\n%1 x\n").arg(link));
    const struct {
        QStringList args;
        int code;
        const char* says; // in stdout for a run, stderr otherwise
    } rows[] = {
        {{"run", "--meters", all, "--fast"}, 0, "stored"},
        {{"run", "--meters", some, "--fast", "--db", "sqlite:" + dir.filePath("other.db")}, 5, "no reply"},
        {{"run", "--meters", bad}, 1, ":3:"},
        // The trace's folder is made where it is missing; a file in its place is refused before the run.
        {{"run", "--meters", all, "--fast", "--db", "sqlite:" + dir.filePath("traced.db"), "--trace",
          dir.filePath("new/trace")},
         0,
         "stored"},
        {{"run", "--meters", all, "--trace", all}, 4, "cannot write"},
        {{"run", "--meters", all, "--db", "sqlite:" + dir.filePath("no/such/folder/k.db")},
         2,
         "cannot be opened"},
        {{"run", "--meters", all, "--every", "soon"}, 1, "--every"},
        {{"run"}, 1, "--meters"},
        {{"collect"}, 1, "unknown command"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const Result run = collect(r.args);
        EXPECT_EQ(run.code, r.code) << run.err.toStdString();
        EXPECT_TRUE((r.code == 0 || r.code == 5 ? run.out : run.err).contains(QString::fromUtf8(r.says)))
            << run.out.toStdString() << run.err.toStdString();
    }
    EXPECT_FALSE(QDir(dir.filePath("new/trace")).entryList({"*.csv"}).isEmpty());
    // The default database is kastari.db in the working folder.
    EXPECT_TRUE(QFile::exists(dir.filePath("kastari.db")));
    EXPECT_EQ(collect({"run", "--meters", bad}).err.trimmed(),
              QStringLiteral("kastari-collect: %1:3:%2: address \"x\" is not a number from 1 to 127")
                  .arg(bad)
                  .arg(link.size() + 2));
}

TEST_F(CollectProgram, ADatabaseServerThatNeverAnswersEndsTheCommandWithExit2) {
    // Takes the connection (the system completes it) and never says a word. The program's own
    // connect limit, not one of the test's.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    ASSERT_FALSE(qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT"));
    const Result r =
        collect({"status", "--db",
                 QStringLiteral("postgresql://kastari@127.0.0.1:%1/fleet").arg(silent.serverPort())});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("timeout expired")) << r.err.toStdString();
}

TEST_F(CollectProgram, ModemLinesDialWithTheMonitorsSettings) {
    QProcess busy;
    const QString busyLink = dir.filePath("busy");
    busy.start(QStringLiteral(KASTARI_SIM),
               {"--link", busyLink, "--device", "2", "--no-pacing", "--modem=BUSY"});
    ASSERT_TRUE(busy.waitForStarted(5000));
    ASSERT_TRUE(busy.waitForReadyRead(10000));
    const QString list =
        write("list", QStringLiteral("%1 1\nmodem:%2:5551234 2 Дальний\n").arg(link, busyLink));
    const QString cfg = "1 9600,n,8,1\r\n10000\r\nFalse\r\nFalse\r\nATZ\r\nATDT\r\n\r\n30";

    // Without the monitor's settings no modem can dial: nothing is collected.
    const Result none = collect({"run", "--meters", list, "--fast"});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err.trimmed(),
              "kastari-collect: Sens.cfg: the modem settings cannot be read: File not found");
    // Sens.cfg in the working folder, where the monitor keeps it, or the one named.
    write("Sens.cfg", cfg);
    const QString elsewhere = write("elsewhere.cfg", cfg);
    for (const QStringList& settings : {QStringList(), QStringList{"--settings", elsewhere}}) {
        const Result run = collect(QStringList{"run", "--meters", list, "--fast"} + settings);
        EXPECT_EQ(run.code, 5) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QRegularExpression("\\n\\S+ +1 +\\d+ +stored")))
            << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("failed") && run.out.contains("modem: the line is busy (BUSY)"))
            << run.out.toStdString();
    }
    busy.terminate();
    busy.waitForFinished(5000);
}

TEST_F(CollectProgram, StopSignalEndsAfterTheMeterBeingRead) {
    const QString list = write("list", QStringLiteral("%1 1\n%1 4\n").arg(link));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(KASTARI_COLLECT), {"run", "--meters", list, "--fast", "--every", "1h"});
    ASSERT_TRUE(p.waitForStarted());
    // Not a terminal: one log line per meter. Stop once the first is under way.
    p.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(p.waitForReadyRead(60000));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    // The meter being read when the signal came was finished and stored.
    EXPECT_TRUE(out.contains(QRegularExpression("\\n\\S+ +1 +\\d+ +stored"))) << out.toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
}

TEST_F(CollectProgram, ExportsWhatTheMonitorWouldWrite) {
    const QString list = write("list", QStringLiteral("%1 1 Первый\n").arg(link));
    ASSERT_EQ(collect({"run", "--meters", list, "--fast"}).code, 0);
    QProcess cli;
    cli.start(QStringLiteral(KASTARI_CLI), {"--port", link, "read-holding", "1", "8", "2"});
    ASSERT_TRUE(cli.waitForFinished(30000));
    const QStringList words =
        QString::fromUtf8(cli.readAllStandardOutput()).split(QRegularExpression("\\s+"));
    ASSERT_GE(words.size(), 4);
    const QString number = QString::number((words[1].toUInt() << 16) | words[3].toUInt());

    // The same periods, read by the monitor's reader now and exported from what the collector stored.
    const struct {
        const char* archive;
        const char* channel;
        const char* from;
        const char* to;     // the reader stops before this period
        const char* lastIn; // the export includes this one
    } rows[] = {
        {"hour", "1", "27.02.2026 05:00", "01.03.2026 00:00", "28.02.2026 23:00"},
        {"day", "2", "01.02.2026 00:00", "01.03.2026 00:00", "28.02.2026 00:00"},
        {"month", "1", "01.01.2025 00:00", "01.03.2026 00:00", "01.02.2026 00:00"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        const QString monitor = dir.filePath(QStringLiteral("monitor-%1.txt").arg(r.archive));
        const QString stored = dir.filePath(QStringLiteral("stored-%1.txt").arg(r.archive));
        cli.start(QStringLiteral(KASTARI_CLI),
                  {"--port", link, "--fast", "archive", "1", r.archive, "--channel", r.channel, "--from",
                   r.from, "--to", r.to, "--out", monitor});
        ASSERT_TRUE(cli.waitForFinished(60000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        const Result e = collect({"export", "--meter", number, "--archive", r.archive, "--channel", r.channel,
                                  "--from", r.from, "--to", r.lastIn, "--out", stored});
        ASSERT_EQ(e.code, 0) << e.err.toStdString();
        QFile a(monitor), b(stored);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray expected = a.readAll();
        EXPECT_GT(expected.count('\n'), 10);
        EXPECT_EQ(b.readAll(), expected);
    }

    const QString csv = dir.filePath("day.csv");
    ASSERT_EQ(
        collect({"export", "--meter", number, "--archive", "day", "--format", "csv", "--out", csv}).code, 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 63);
    EXPECT_EQ(lines[0],
              "meter,archive,channel,period_start,recorded_at,state,volume_plus,volume_minus,downtime_s");
    EXPECT_TRUE(lines[1].startsWith(number + ",1,1,2025-12-28T00:00:00,")) << lines[1].toStdString();
    // a day the meter was off is a gap, with no volumes at all
    EXPECT_TRUE(lines.filter(QRegularExpression(",not recorded,,,$")).size() >= 1)
        << lines.join('\n').toStdString();

    const Result status = collect({"status"});
    ASSERT_EQ(status.code, 0);
    EXPECT_TRUE(status.out.contains(
        QRegularExpression(number + " +Первый +\\S+ +1 +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d +2026-03-01 09:00 "
                                    "+2026-02-28 +2026-02 +\\d+")))
        << status.out.toStdString();
    EXPECT_EQ(collect({"export", "--meter", "12345", "--archive", "day", "--out", csv}).code, 1);
}

// The collector's export of every journal is the file kastari-cli (the monitor's reader and export)
// writes for the same meter: the same events, in the meter's order.
TEST_F(CollectProgram, JournalsExportAsTheMonitorWritesThem) {
    TearDown();
    sim.start(QStringLiteral(KASTARI_SIM), {"--link", link, "--device", "1:number=2001", "--device",
                                            "4:number=2004", "--device", "6:number=2006,channels=two-beam",
                                            "--no-pacing", "--seed", "3", "--time", "01.03.2026 10:30"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QString list = write("list", QStringLiteral("%1 1\n%1 4\n%1 6\n").arg(link));
    ASSERT_EQ(collect({"run", "--meters", list, "--fast"}).code, 0);
    const struct {
        const char* journal;
        const char* channel;
    } journals[] = {{"faults", "1"}, {"operator", "1"}, {"abnormal", "1"}, {"abnormal", "2"}};
    for (const int address : {1, 4, 6}) {
        for (const auto& j : journals) {
            SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(address).arg(j.journal, j.channel).toStdString());
            const QString monitor = dir.filePath("monitor.txt"), stored = dir.filePath("stored.txt");
            QProcess cli;
            cli.start(QStringLiteral(KASTARI_CLI),
                      {"--port", link, "--fast", "journal", QString::number(address), j.journal, "--channel",
                       j.channel, "--out", monitor});
            ASSERT_TRUE(cli.waitForFinished(60000));
            ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
            const Result e = collect({"export", "--meter", QString::number(2000 + address), "--archive",
                                      j.journal, "--channel", j.channel, "--out", stored});
            ASSERT_EQ(e.code, 0) << e.err.toStdString();
            QFile a(monitor), b(stored);
            ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            EXPECT_EQ(b.readAll(), a.readAll());
        }
    }
}

// One record of every reply damaged: the meter is stored but for the periods that could not be read,
// which the export shows as the monitor does; the run says so and exits 5.
TEST_F(CollectProgram, ADamagedRecordLeavesTheMeterPartlyStored) {
    const QString damaged = dir.filePath("damaged");
    line2.start(QStringLiteral(KASTARI_SIM),
                {"--link", damaged, "--device", "2:number=2102", "--no-pacing", "--seed", "3", "--time",
                 "01.03.2026 10:30", "--fault", "badrecord,addr=2,record=3"});
    ASSERT_TRUE(line2.waitForStarted(5000));
    ASSERT_TRUE(line2.waitForReadyRead(10000));
    const QString list = write("list", QStringLiteral("%1 1\n%2 2\n").arg(link, damaged));
    const auto run = [&] {
        const Result r = collect({"run", "--meters", list, "--fast"});
        EXPECT_EQ(r.code, 5) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(
            QRegularExpression("\\n\\S+ +2 +2102 +partly stored +\\d+ +\\d+ .* \\d+ periods not read")))
            << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QRegularExpression("\\n\\S+ +1 +\\d+ +stored"))) << r.out.toStdString();
    };
    run();
    const QString monitor = dir.filePath("monitor.txt"), stored = dir.filePath("stored.txt");
    QProcess cli;
    // The collector's first visit read the whole day archive by the meter's clock: these 63 days, in
    // the same requests.
    cli.start(QStringLiteral(KASTARI_CLI),
              {"--port", damaged, "--fast", "archive", "2", "day", "--from", "28.12.2025 00:00", "--to",
               "01.03.2026 00:00", "--out", monitor});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 3) << "the monitor's reading has periods not read too";
    ASSERT_EQ(collect({"export", "--meter", "2102", "--archive", "day", "--out", stored}).code, 0);
    QFile a(monitor), b(stored);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray expected = a.readAll();
    EXPECT_TRUE(expected.contains("\xcd\xe5 \xef\xf0\xee\xf7\xe8\xf2\xe0\xed")) << "\"Не прочитан\"";
    EXPECT_EQ(b.readAll(), expected);
    const QString csv = dir.filePath("day.csv");
    ASSERT_EQ(
        collect({"export", "--meter", "2102", "--archive", "day", "--format", "csv", "--out", csv}).code, 0);
    QFile c(csv);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(c.readAll()).contains(QRegularExpression(",not read,,,\r\n")));
    // Every later run reads them again, and says so again.
    run();
}

// Two databases hold the same rows for these meters: every period of every archive and channel,
// every journal entry.
void CollectProgram::expectSameRows(const QString& a, const QString& b, const QList<std::uint32_t>& meters) {
    QString error;
    const std::unique_ptr<store::Store> one = store::Store::open(*store::parseLocation(a, nullptr), &error),
                                        other = store::Store::open(*store::parseLocation(b, nullptr), &error);
    ASSERT_TRUE(one && other) << error.toStdString();
    for (const std::uint32_t meter : meters) {
        SCOPED_TRACE(meter);
        for (int archive = 0; archive < 3; ++archive)
            for (int channel = 1; channel <= 2; ++channel) {
                const QList<store::PeriodRow> rows = one->periods(meter, archive, channel);
                EXPECT_GT(rows.size(), 10) << archive << ' ' << channel;
                EXPECT_EQ(rows, other->periods(meter, archive, channel)) << archive << ' ' << channel;
            }
        for (int journal = 3; journal <= 6; ++journal)
            EXPECT_EQ(one->entries(meter, journal), other->entries(meter, journal)) << journal;
    }
}

// Killed in the middle of a meter, then run again: the database is what a clean collection makes.
void CollectProgram::killMidMeterThenRunAgain(Backend backend) {
    QString skip;
    const std::optional<QString> killed = database(backend, &skip), clean = database(backend, &skip);
    if (!killed || !clean) GTEST_SKIP() << skip.toStdString();
    TearDown(); // a line paced at a real speed, so the kill finds a meter half read
    sim.start(QStringLiteral(KASTARI_SIM),
              {"--link", link, "--device", "1:number=1001", "--device", "4:number=1004", "--baud", "115200",
               "--seed", "3", "--time", "01.03.2026 10:30"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QString list = write("list", QStringLiteral("%1 1\n%1 4\n").arg(link));
    const QString trace = dir.filePath("trace");
    QDir().mkpath(trace);

    QProcess p;
    p.start(QStringLiteral(KASTARI_COLLECT),
            {"run", "--meters", list, "--fast", "--db", *killed, "--trace", trace});
    ASSERT_TRUE(p.waitForStarted());
    // Killed once the first meter's hour archive is under way (its exchanges are logged as they go).
    QFile log(QDir(trace).filePath(
        QFileInfo(link).absoluteFilePath().replace(QRegularExpression("[^A-Za-z0-9_.-]+"), "_") + ".csv"));
    for (int i = 0; i < 3000 && log.size() < 6000; ++i)
        QThread::msleep(10);
    ASSERT_GE(log.size(), 6000) << log.fileName().toStdString();
    p.kill();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_FALSE(collect({"status", "--db", *killed}).out.contains("1001"))
        << "nothing of the meter half read";

    ASSERT_EQ(collect({"run", "--meters", list, "--fast", "--db", *killed}).code, 0);
    ASSERT_EQ(collect({"run", "--meters", list, "--fast", "--db", *clean}).code, 0);
    expectSameRows(*killed, *clean, {1001, 1004});
}

TEST_F(CollectProgram, TwoCollectorsAtOnceOnOnePostgreSQLWithOverlappingListsEqualACleanCollection) {
    QString skip;
    const std::optional<QString> shared = database(Backend::PostgreSQL, &skip),
                                 clean = database(Backend::PostgreSQL, &skip);
    if (!shared || !clean) GTEST_SKIP() << skip.toStdString();
    TearDown();
    // The meters of the second line are reached by both collectors: through a twin of that line (the
    // same meters, numbers, history and clock), since one serial line serves one master.
    const QStringList overlap{"1:number=3011", "5:number=3015"};
    const QString a = startLine(sim, "a", {"1:number=3001", "2:number=3002"});
    const QString b = startLine(line2, "b", overlap), b2 = startLine(twin, "b2", overlap);
    const QString c = startLine(line3, "c", {"3:number=3023"});
    const QString first = write("first", QStringLiteral("%1 1\n%1 2\n%2 1\n%2 5\n").arg(a, b));
    const QString second = write("second", QStringLiteral("%1 1\n%1 5\n%2 3\n").arg(b2, c));

    // Both start on an empty database, so they also race to make its tables; then they store the
    // same meters at about the same moment.
    QProcess runs[2];
    for (int i = 0; i < 2; ++i)
        runs[i].start(QStringLiteral(KASTARI_COLLECT),
                      {"run", "--meters", i ? second : first, "--fast", "--db", *shared});
    for (QProcess& r : runs) {
        ASSERT_TRUE(r.waitForFinished(120000));
        EXPECT_EQ(r.exitCode(), 0) << r.readAllStandardOutput().toStdString()
                                   << r.readAllStandardError().toStdString();
    }
    const QString all = write("all", QStringLiteral("%1 1\n%1 2\n%2 1\n%2 5\n%3 3\n").arg(a, b, c));
    ASSERT_EQ(collect({"run", "--meters", all, "--fast", "--db", *clean}).code, 0);
    expectSameRows(*shared, *clean, {3001, 3002, 3011, 3015, 3023});
    const Result status = collect({"status", "--db", *shared});
    EXPECT_EQ(status.out.count('\n'), 1 + 5) << status.out.toStdString();
}

TEST_F(CollectProgram, KilledMidMeterThenRunAgainEqualsACleanCollection) {
    killMidMeterThenRunAgain(Backend::SQLite);
}

TEST_F(CollectProgram, KilledMidMeterOnPostgreSQLThenRunAgainEqualsACleanCollection) {
    killMidMeterThenRunAgain(Backend::PostgreSQL);
}

} // namespace

namespace {

QString pdfText(const QString& path) {
    QProcess reader;
    reader.start("pdftotext", {"-layout", path, "-"});
    EXPECT_TRUE(reader.waitForFinished(30000));
    return QString::fromUtf8(reader.readAllStandardOutput());
}

TEST_F(CollectProgram, ReportsAStoredMonthAsAPdfWithoutADisplay) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) missing";
    const QString list = write("list", QStringLiteral("%1 1 Первый\n").arg(link));
    ASSERT_EQ(collect({"run", "--meters", list, "--fast"}).code, 0);
    const Result status = collect({"status"});
    const QString number = status.out.section('\n', 1, 1).section(' ', 0, 0, QString::SectionSkipEmpty);
    ASSERT_FALSE(number.isEmpty()) << status.out.toStdString();

    // The report needs no display and no platform chosen for it.
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const QString pdf = dir.filePath("february.pdf");
    const Result made =
        collect({"report", "--meter", number, "--channel", "1", "--month", "2026-02", "--out", pdf});
    ASSERT_EQ(made.code, 0) << made.err.toStdString();
    const QString text = pdfText(pdf);
    for (const QString& expected :
         {QStringLiteral("Отчёт о потреблении"), QStringLiteral("Электронный номер прибора: ") + number,
          QStringLiteral("Наименование: Первый"), QStringLiteral("Итого")})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString();
    for (int day = 1; day <= 28; ++day)
        EXPECT_TRUE(text.contains(QDate(2026, 2, day).toString("dd.MM.yyyy"))) << day;

    const QString empty = dir.filePath("empty.pdf");
    EXPECT_EQ(collect({"report", "--meter", number, "--month", "2020-01", "--out", empty}).code, 0);
    EXPECT_TRUE(pdfText(empty).contains("Нет данных за период"));

    const struct {
        QStringList args;
        int code;
    } refused[] = {
        {{"report", "--meter", number, "--month", "2026-13", "--out", pdf}, 1},
        {{"report", "--meter", "12", "--month", "2026-02", "--out", pdf}, 1},
        {{"report", "--meter", number, "--month", "2026-02", "--out", "/proc/report.pdf"}, 4},
    };
    for (const auto& r : refused)
        EXPECT_EQ(collect(r.args).code, r.code) << r.args.join(' ').toStdString();
}

// Every command that only reads refuses a database that is not there, and makes none; a run says
// what it did even when that is nothing; and the toolkit keeps its own remarks to itself.
TEST_F(CollectProgram, SaysWhatItDidNotDoAndMakesNoDatabaseForReading) {
    const QString list = write("list", QStringLiteral("%1 1\n").arg(link));
    ASSERT_EQ(collect({"run", "--meters", list, "--fast", "--db", "good.db"}).code, 0);
    const QString empty = write("empty", "# nothing yet\n\n");
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("QT_QPA_PLATFORM");
    const QString typo = dir.filePath("god.db");
    const auto usage = [](const QString& text) {
        return "kastari-collect: " + text + "\nTry 'kastari-collect --help'.\n";
    };
    const struct {
        QStringList args;
        int code;
        QString err; // all of stderr
    } rows[] = {
        {{"status", "--db", typo}, 2, "kastari-collect: no database at " + typo + "\n"},
        {{"export", "--db", typo, "--meter", "1", "--archive", "day", "--out", "x"},
         2,
         "kastari-collect: no database at " + typo + "\n"},
        {{"report", "--db", typo, "--meter", "1", "--month", "2026-02", "--out", "x.pdf"},
         2,
         "kastari-collect: no database at " + typo + "\n"},
        {{"run", "--meters", empty, "--db", typo},
         0,
         "kastari-collect: " + empty + " lists no meter: nothing was collected\n"},
        {{"status", "--db", "good.db"}, 0, ""},
        {{"report", "--db", "good.db", "--meter", "1", "--month", "2026-02", "--out", "r.pdf"},
         1,
         "kastari-collect: meter 1 is not in the database\n"},
        // A value its option does not take, told before anything is opened.
        {{"export", "--db", "good.db", "--meter", "1", "--archive", "day", "--channel", "3", "--out", "x"},
         1,
         usage("--channel must be 1 or 2")},
        {{"report", "--meter", "1", "--channel=", "--month", "2026-02", "--out", "r.pdf"},
         1,
         usage("--channel needs a value")},
        {{"export", "--meter", "1", "--archive", "day", "--format", "xml", "--out", "x"},
         1,
         usage("--format must be text or csv")},
        {{"export", "--meter", "1", "--archive", "day", "--to", "31.02.2026 00:00", "--out", "x"},
         1,
         usage("--from and --to take \"dd.mm.yyyy hh:nn\"")},
        {{"run", "--meters", list, "--lines", "2", "--lines", "0"},
         1,
         usage("--lines needs a number from 1")},
        {{"run", "--meters", list, "--retries", "6"}, 1, usage("--retries needs a number 0..5")},
        {{"run", "--meters", list, "--every", "0m"},
         1,
         usage("--every needs a duration such as 30m, 1h, 24h")},
        {{"status", "--db="}, 1, usage("--db needs a URL")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const Result run = collect(r.args);
        EXPECT_EQ(run.code, r.code);
        EXPECT_EQ(run.err.toStdString(), r.err.toStdString());
    }
    EXPECT_FALSE(QFile::exists(typo));
}

// A run's record is how `status` knows what was collected: a run that cannot write it says so and
// fails, and no meter is told as stored whose outcome is not on record.
TEST_F(CollectProgram, ARunThatCannotRecordItselfFails) {
    const QString list = write("list", QStringLiteral("%1 1\n%1 4\n").arg(link));
    const struct {
        const char* refused; // the statement a trigger refuses
        int code;
        const char* says; // in stderr
        int stored;       // meters the summary tells as stored
        int outcomes;     // on record
    } rows[] = {
        {"INSERT ON runs", 2, "the run cannot be recorded: refused by the test", 0, 0},
        {"INSERT ON run_meters", 5, "", 0, 0},
        {"UPDATE ON runs", 2, "the run's end cannot be recorded: refused by the test", 2, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.refused);
        const QString url = "sqlite:" + dir.filePath(QStringLiteral("db%1.sqlite").arg(++databases));
        {
            QString error;
            const std::unique_ptr<store::Store> db =
                store::Store::open(*store::parseLocation(url, nullptr), &error);
            ASSERT_TRUE(db) << error.toStdString();
            QSqlQuery q(db->db());
            ASSERT_TRUE(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE %1 BEGIN"
                                              " SELECT RAISE(ABORT, 'refused by the test'); END")
                                   .arg(QString::fromLatin1(r.refused))))
                << q.lastError().text().toStdString();
        }
        const Result run = collect({"run", "--meters", list, "--fast", "--db", url});
        EXPECT_EQ(run.code, r.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(r.says))) << run.err.toStdString();
        EXPECT_EQ(run.out.count(QRegularExpression(" stored ")), r.stored) << run.out.toStdString();
        if (r.code == 5) {
            EXPECT_EQ(run.out.count("database: the outcome cannot be recorded: refused by the test"), 2)
                << run.out.toStdString();
        }
        QString error;
        const std::unique_ptr<store::Store> db =
            store::Store::open(*store::parseLocation(url, nullptr), &error);
        QSqlQuery q(db->db());
        ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM run_meters") && q.next());
        EXPECT_EQ(q.value(0).toInt(), r.outcomes);
    }
}

// A database its user may only read: the commands that read read it, a run says it cannot write.
TEST_F(CollectProgram, AReadOnlyDatabaseIsReadAndARunSaysItCannotWrite) {
    if (geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        GTEST_SKIP() << "needs root and setpriv to act as another user";
    QTemporaryDir shelf; // root's, which nobody may read but not write
    ASSERT_TRUE(shelf.isValid());
    const QString list = shelf.filePath("list");
    QFile listed(list);
    ASSERT_TRUE(listed.open(QIODevice::WriteOnly));
    listed.write(QStringLiteral("%1 1 Первый\n").arg(link).toUtf8());
    listed.close();
    QFile::setPermissions(shelf.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    const QString db = shelf.filePath("k.db");
    const Result made = collect({"run", "--meters", list, "--fast", "--db", db});
    ASSERT_EQ(made.code, 0);
    const QString number = QRegularExpression(" 1 +(\\d+) +Первый").match(made.out).captured(1);
    ASSERT_FALSE(number.isEmpty()) << made.out.toStdString();
    const QString out =
        QDir(QDir::tempPath()).filePath(QStringLiteral("kastari-export-%1.csv").arg(getpid()));
    const auto asNobody = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(shelf.path());
        p.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                       QStringLiteral(KASTARI_COLLECT)} +
                               args);
        EXPECT_TRUE(p.waitForFinished(120000));
        return Result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                      QString::fromUtf8(p.readAllStandardError())};
    };
    const struct {
        QStringList args;
        int code;
        const char* says; // in stdout when it succeeds, stderr otherwise
    } rows[] = {
        {{"status", "--db", db}, 0, "Первый"},
        {{"export", "--db", db, "--meter", number, "--archive", "day", "--format", "csv", "--out", out},
         0,
         ""},
        {{"run", "--meters", list, "--fast", "--db", db}, 2, "read-only"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const Result run = asNobody(r.args);
        EXPECT_EQ(run.code, r.code) << run.err.toStdString();
        EXPECT_TRUE((r.code ? run.err : run.out).contains(QString::fromUtf8(r.says)))
            << run.out.toStdString() << run.err.toStdString();
    }
    QFile csv(out);
    EXPECT_TRUE(csv.open(QIODevice::ReadOnly) && csv.readAll().count('\n') > 10);
    csv.remove();
    EXPECT_EQ(QDir(shelf.path()).entryList(QDir::Files), (QStringList{"k.db", "list"}));
}

} // namespace
