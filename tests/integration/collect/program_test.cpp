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

} // namespace
