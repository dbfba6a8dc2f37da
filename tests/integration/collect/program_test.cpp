// kastari-collect as people run it, against kastari-sim: its exit status and what it says.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int code = -1;
    QString out, err;
};

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
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }
    QString write(const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    }
    Result collect(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(KASTARI_COLLECT), args);
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QTemporaryDir dir;
    QString link;
    QProcess sim;
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
    // The default database is kastari.db in the working folder.
    EXPECT_TRUE(QFile::exists(dir.filePath("kastari.db")));
    EXPECT_EQ(collect({"run", "--meters", bad}).err.trimmed(),
              QStringLiteral("kastari-collect: %1:3:%2: address \"x\" is not a number from 1 to 127")
                  .arg(bad)
                  .arg(link.size() + 2));
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

} // namespace
