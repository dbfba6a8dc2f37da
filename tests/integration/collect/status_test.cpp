// kastari-collect status --problems as a monitoring system calls it: what it prints and its exit
// status, on a database the collector filled from kastari-sim.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "collectprocess.h"

namespace {

using Result = CollectResult;

class StatusProblems : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("line");
        // Seed 3 from this time: the meter at 4 was off for some hours five days before, the one
        // at 5 longer ago; every simulated meter has a fault going on until its journals are cleared.
        sim.start(QStringLiteral(KASTARI_SIM),
                  {"--link", link, "--device", "1", "--device", "4", "--device", "5", "--no-pacing", "--seed",
                   "3", "--time", "01.03.2026 10:30"});
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(sim.waitForReadyRead(10000));
        for (const char* address : {"4", "5"})
            ASSERT_EQ(QProcess::execute(QStringLiteral(KASTARI_CLI),
                                        {"--port", link, "write-register", address, "29", "2"}),
                      0);
    }
    void TearDown() override {
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }
    QString write(const QString& name, const QString& text) { return writeTestFile(dir.path(), name, text); }
    Result collect(const QStringList& args) { return runCollect(dir.path(), args); }
    QTemporaryDir dir;
    QString link;
    QProcess sim;
};

TEST_F(StatusProblems, ExitsAsAMonitoringPluginWithOnlyTheMetersInTrouble) {
    const QString fleet = "sqlite:" + dir.filePath("fleet.db"), calm = "sqlite:" + dir.filePath("calm.db");
    ASSERT_EQ(
        collect(
            {"run", "--fast", "--db", fleet, "--meters",
             write("all", QStringLiteral("%1 1 Насосная\n%1 4 ЦТП-4\n%1 5 ЦТП-5\n%1 9 Подвал\n").arg(link))})
            .code,
        5);
    ASSERT_EQ(collect({"run", "--fast", "--db", calm, "--meters",
                       write("one", QStringLiteral("%1 5 ЦТП-5\n").arg(link))})
                  .code,
              0);
    const QString gaps5 = write("gaps5", "gap_days = 5\ndowntime_minutes = 1440\n");
    const QString gaps10 = write("gaps10", "# a longer look back\ngap_days = 10\ndowntime_minutes = 1440\n");
    const QString broken = write("broken", "gap_days = soon\n");
    const struct {
        QStringList args;
        int code;
        QStringList says, never;
    } rows[] = {
        {{"--db", fleet, "--thresholds", gaps5},
         2,
         {"KASTARI CRITICAL - 4 meters, 2 critical, 1 warnings", "Подвал",
          "Нет связи: прибор ни разу не ответил", "Насосная", "Отказ", "ЦТП-4", "Пропуски"},
         {"ЦТП-5", "Норма"}},
        {{"--db", calm, "--thresholds", gaps5},
         0,
         {"KASTARI OK - 1 meters, 0 critical, 0 warnings"},
         {"ЦТП-5"}},
        {{"--db", calm, "--thresholds", gaps10},
         1,
         {"KASTARI WARNING", "ЦТП-5", "Пропуски: не записано"},
         {}},
        {{"--db", "sqlite:" + dir.filePath("no/such/folder/k.db")}, 3, {}, {}},
        {{"--db", calm, "--thresholds", broken}, 3, {}, {}},
        {{"--db", calm, "--thresholds", dir.filePath("missing")}, 3, {}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const Result result = collect(QStringList{"status", "--problems"} + r.args);
        EXPECT_EQ(result.code, r.code) << result.out.toStdString();
        for (const QString& s : r.says)
            EXPECT_TRUE(result.out.contains(s)) << s.toStdString() << "\n" << result.out.toStdString();
        for (const QString& s : r.never)
            EXPECT_FALSE(result.out.contains(s)) << s.toStdString() << "\n" << result.out.toStdString();
    }
    // Without --problems every meter is listed with its state, the one that never answered too.
    const Result all = collect({"status", "--db", fleet, "--thresholds", gaps5});
    EXPECT_EQ(all.code, 0);
    EXPECT_EQ(all.out.count('\n'), 1 + 4) << all.out.toStdString();
    EXPECT_TRUE(
        all.out.section('\n', 1, 1).contains(QRegularExpression("^- +Подвал .* no reply.* Нет связи$")))
        << all.out.toStdString();
    EXPECT_TRUE(all.out.section('\n', 4, 4).endsWith("Норма")) << all.out.toStdString();
}

} // namespace
