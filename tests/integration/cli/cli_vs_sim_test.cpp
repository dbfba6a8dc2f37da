// kastari-cli against kastari-sim, both as the operator runs them: every command, the archive
// reading in both modes, and the way failures are reported.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int code = -1;
    QStringList out;
    QString err;
};

class CliVsSim : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath("line");
        // --comm is taken by every program of the suite, the simulator included.
        startSim({"--comm", "1=/dev/ttyUSB9", "--device", "1", "--device", "5:id1=Meter,id2=B", "--no-pacing",
                  "--seed", "7"});
    }
    void TearDown() override { stopSim(); }

    void startSim(const QStringList& extra) {
        sim.start(QStringLiteral(KASTARI_SIM), QStringList{"--link", link} + extra);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(sim.waitForReadyRead(10000));
        ASSERT_EQ(QString::fromUtf8(sim.readLine()).trimmed(), "ready " + link);
    }
    void stopSim() {
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }

    CliRun cli(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(KASTARI_CLI), QStringList{"--port", link} + args);
        p.waitForFinished(60000);
        CliRun r;
        r.code = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return r;
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim;
};

TEST_F(CliVsSim, ReadsWritesAndReadsBack) {
    CliRun r = cli({"read-holding", "1", "12", "2"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 2);
    EXPECT_EQ(r.out[0], "12 1"); // the network number register holds the device's own address

    EXPECT_EQ(cli({"write-register", "1", "18", "250"}).code, 0);
    EXPECT_EQ(cli({"read-holding", "1", "18", "1"}).out, QStringList{"18 250"});
    EXPECT_EQ(cli({"write-registers", "1", "8", "0x0001", "0xE240"}).code, 0);
    EXPECT_EQ(cli({"read-holding", "1", "8", "2"}).out, (QStringList{"8 1", "9 57920"}));
}

TEST_F(CliVsSim, CoilsAndIdentification) {
    EXPECT_EQ(cli({"set-coil", "5", "3"}).code, 0);
    EXPECT_EQ(cli({"read-coils", "5", "2", "3"}).out, (QStringList{"2 0", "3 1", "4 0"}));
    EXPECT_EQ(cli({"clear-coil", "5", "3"}).code, 0);
    EXPECT_EQ(cli({"read-coils", "5", "3", "1"}).out, QStringList{"3 0"});
    const CliRun id = cli({"report-id", "5"});
    EXPECT_EQ(id.code, 0);
    EXPECT_EQ(id.out, QStringList{"Meter   B"});
}

TEST_F(CliVsSim, ReadsArchivesByDateAndJournalsByRecord) {
    const QString threeHoursAgo =
        QDateTime::currentDateTime().addSecs(-3 * 3600).toString("dd.MM.yyyy HH:mm");
    const CliRun hours = cli({"read-archive", "1", "0", "2", "--date", threeHoursAgo});
    ASSERT_EQ(hours.code, 0) << hours.err.toStdString();
    ASSERT_EQ(hours.out.size(), 2);
    const QRegularExpression record(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d  ch1 \+\S+ -\S+ down \d+  ch2 .*$)");
    for (const QString& line : hours.out)
        EXPECT_TRUE(record.match(line).hasMatch()) << line.toStdString();
    EXPECT_FALSE(hours.out.join('\n').contains("CHECK BYTE WRONG"));

    const CliRun journal = cli({"read-archive", "1", "3", "25", "--record", "0"});
    ASSERT_EQ(journal.code, 0);
    EXPECT_EQ(journal.out.size(), 25);
    EXPECT_TRUE(journal.out[0].startsWith("code "));

    const CliRun raw = cli({"--raw", "read-archive", "1", "4", "1", "--record", "0"});
    ASSERT_EQ(raw.code, 0);
    EXPECT_TRUE(raw.out.value(0).startsWith("raw: 01 41 0A"));
}

TEST_F(CliVsSim, FailuresGiveOneLineAndTheirExitStatus) {
    CliRun r = cli({"read-holding", "1", "300", "20"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "exception 2 (illegal data address)");
    r = cli({"read-holding", "9", "0", "1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "no reply");

    stopSim();
    startSim({"--no-pacing", "--fault", "badcrc"});
    r = cli({"read-holding", "1", "0", "1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "CRC error");
    EXPECT_TRUE(r.out.isEmpty()); // nothing decoded from a bad frame

    stopSim();
    startSim({"--no-pacing", "--fault", "wrongaddress"});
    r = cli({"read-holding", "1", "0", "1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "reply from another address");
}

TEST_F(CliVsSim, TraceLogsEveryFrameOfAnyCommandAsCsv) {
    const QString path = dir.filePath("trace.csv");
    const auto rows = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts)
                                           : QStringList();
    };
    ASSERT_EQ(cli({"--trace", path, "journal", "1", "faults"}).code, 0);
    QStringList log = rows();
    ASSERT_EQ(log.size(), 5); // the header, then two journal requests, each with its reply
    EXPECT_EQ(log[0], "time,direction,address,function,bytes,verdict,completion,reply_ms");
    static const QRegularExpression tx(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d),tx,1,65,01 41 00 03 )");
    static const QRegularExpression rx(R"(,rx,1,65,01 41 [0-9A-F ]+,ok,silence,\d+$)");
    EXPECT_TRUE(tx.match(log[1]).hasMatch()) << log[1].toStdString();
    EXPECT_TRUE(rx.match(log[2]).hasMatch()) << log[2].toStdString();

    EXPECT_EQ(cli({"--trace", path, "read-holding", "9", "0", "1"}).code, 3);
    log = rows();
    ASSERT_EQ(log.size(), 3) << "a new run starts a new file";
    EXPECT_TRUE(log[2].endsWith(",event,9,3,,no reply,,"));

    EXPECT_EQ(cli({"--trace", dir.filePath("no/such/folder.csv"), "report-id", "1"}).code, 4);
}

TEST_F(CliVsSim, ArchivesAndJournalsAsTheMonitorReadsThem) {
    const CliRun faults = cli({"journal", "1", "faults"});
    ASSERT_EQ(faults.code, 0) << faults.err.toStdString();
    EXPECT_EQ(faults.out.value(0), "Отказы\tДата и время начала\tДата и время окончания\tОписание отказов");
    EXPECT_TRUE(faults.out.join('\n').contains("\tНет данных\t")) << "a fault of unknown start";
    EXPECT_TRUE(faults.out.join('\n').contains("\tПродолжается\t")) << "a fault still going on";

    const QString file = dir.filePath("Archive2_ch2.txt");
    const CliRun month = cli({"archive", "1", "month", "--channel", "2", "--out", file});
    ASSERT_EQ(month.code, 0) << month.err.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString(QStringDecoder("windows-1251")(f.readAll())).split("\r\n");
    ASSERT_GT(lines.size(), 6);
    EXPECT_EQ(lines[0], "Расходомер-счетчик КАСТАРИ ДК, версия KASTARI-DK   v3.12");
    EXPECT_TRUE(QRegularExpression("^Электронный номер прибора :[0-9]+$").match(lines[1]).hasMatch());
    EXPECT_EQ(lines[2], "Месячный архив 2 - канал");
    for (int i = 4; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].count('#'), 3) << lines[i].toStdString();

    // Through a pipe, which is written to as it is.
    QProcess p;
    p.start(QStringLiteral(KASTARI_CLI),
            {"--port", link, "archive", "1", "month", "--channel", "2", "--out", "/dev/stdout"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList piped =
        QString(QStringDecoder("windows-1251")(p.readAllStandardOutput())).split("\r\n");
    EXPECT_EQ(piped.mid(0, 3), lines.mid(0, 3));
    EXPECT_EQ(piped.size(), lines.size());
}

TEST_F(CliVsSim, ALinkThatFailsMidArchiveLeavesTheFileAlone) {
    stopSim();
    // The identification, the electronic number, the base and one block get through.
    startSim({"--no-pacing", "--fault", "silence,when=5"});
    const QString file = dir.filePath("day.txt");
    const CliRun r = cli({"archive", "1", "day", "--out", file});
    EXPECT_EQ(r.code, 3);
    const QRegularExpression said("^[0-9]+ rows read, .*day.txt not written, then no reply$");
    EXPECT_TRUE(said.match(r.err).hasMatch()) << r.err.toStdString();
    EXPECT_GT(r.out.size(), 1);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(CliVsSim, PeriodsNotReadAreMarkedAndFailTheRun) {
    stopSim();
    // After the identification, the electronic number and the base, the first block's third day
    // has a wrong check byte.
    startSim({"--no-pacing", "--fault", "badrecord,when=4,record=3"});
    const QString file = dir.filePath("day.txt");
    const CliRun r = cli({"archive", "1", "day", "--out", file});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.startsWith("2 of 63 periods not read")) << r.err.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString(QStringDecoder("windows-1251")(f.readAll())).split("\r\n");
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines.filter(QRegularExpression("^ +\\d\\d\\.\\d\\d\\.\\d{4} #Не прочитан###$")).size(), 2);
    const QString yesterday = QDate::currentDate().addDays(-1).toString("dd.MM.yyyy");
    EXPECT_TRUE(lines[lines.size() - 2].contains(yesterday)) << "the last day is read";
}

// The parameter files. A load pauses 2 s before each of its last five blocks, so this takes a while.
TEST_F(CliVsSim, SaveChangeCompareAndLoadBack) {
    const CliRun saved = cli({"save-params", "1", dir.filePath("m")});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    const QString snapshot = dir.filePath("m/Param.bin");
    EXPECT_EQ(saved.out, (QStringList{dir.filePath("m/Param.txt"), snapshot}));
    EXPECT_EQ(QFileInfo(snapshot).size(), 655);

    ASSERT_EQ(cli({"write-register", "1", "18", "250"}).code, 0);
    ASSERT_EQ(cli({"write-registers", "1", "24", "7"}).code, 0);
    CliRun compared = cli({"compare-params", "1", snapshot});
    EXPECT_EQ(compared.code, 1);
    EXPECT_EQ(compared.out, (QStringList{"Время инерции, сек\t10\t250", "Регистр 24\t0\t7"}));

    EXPECT_EQ(cli({"load-params", "1", snapshot}).code, 1); // not without --yes
    EXPECT_EQ(cli({"read-holding", "1", "18", "1"}).out, QStringList{"18 250"});

    const CliRun loaded = cli({"load-params", "1", snapshot, "--yes"});
    EXPECT_EQ(loaded.code, 0) << loaded.err.toStdString();
    EXPECT_EQ(loaded.out, (QStringList{"registers 2-7: written", "registers 15-26: written",
                                       "registers 31-59: written", "registers 60-88: written",
                                       "registers 119-144: written", "registers 145-171: written"}));
    compared = cli({"compare-params", "1", snapshot});
    EXPECT_EQ(compared.code, 0);
    EXPECT_TRUE(compared.out.isEmpty());
}

TEST_F(CliVsSim, RefusedSnapshotsAndFoldersWriteNothing) {
    ASSERT_EQ(cli({"save-params", "5", dir.filePath("m5")}).code, 0);
    ASSERT_EQ(cli({"write-register", "1", "18", "250"}).code, 0);
    // Meter 5's snapshot into meter 1, a file cut short, one with a note appended, a folder.
    const QString snapshot5 = dir.filePath("m5/Param.bin");
    const auto copy = [&](const char* name, int size) {
        EXPECT_TRUE(QFile::copy(snapshot5, dir.filePath(name)) && QFile(dir.filePath(name)).resize(size));
        return dir.filePath(name);
    };
    for (const QString& file :
         {snapshot5, copy("short.bin", 654), copy("noted.bin", 661), dir.filePath("m5")}) {
        const CliRun r = cli({"load-params", "1", file, "--yes"});
        EXPECT_EQ(r.code, 4) << file.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(cli({"read-holding", "1", "18", "1"}).out, QStringList{"18 250"});
    // Compared all the same, but another meter's snapshot is no snapshot of this one.
    const CliRun compared = cli({"compare-params", "1", snapshot5});
    EXPECT_EQ(compared.code, 4);
    EXPECT_TRUE(compared.err.startsWith("the snapshot is of meter ")) << compared.err.toStdString();
    EXPECT_FALSE(compared.out.isEmpty());
    EXPECT_EQ(cli({"save-params", "1", "/proc/kastari-params"}).code, 4);

    stopSim();
    startSim({"--no-pacing", "--fault", "silence,when=3"}); // the second of the three reads
    const CliRun r = cli({"save-params", "1", dir.filePath("cut")});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "nothing written: read 1 of 3 blocks, then no reply");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("cut"))) << "the folder made for the files is taken away";
}

// The target of a file is checked before the port is even opened: here there is none to open.
TEST(CliFiles, ATargetThatCannotBeWrittenIsFoundBeforeTheMeterIsAsked) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("taken/Param.txt"));
    const struct {
        QStringList args;
        int code;
        const char* left; // a folder the command must not leave behind
    } cases[] = {
        {{"archive", "1", "hour", "--out", dir.filePath("missing/Archive0_ch1.txt")}, 4, nullptr},
        {{"archive", "1", "hour", "--out", dir.path()}, 4, nullptr},
        {{"journal", "1", "faults", "--out", "/proc/kastari.txt"}, 4, nullptr},
        {{"save-params", "1", dir.filePath("taken")}, 4, nullptr},
        {{"save-params", "1", dir.filePath("new/deeper")}, 2, "new"},
        {{"archive", "1", "hour", "--out", dir.filePath("Archive0_ch1.txt")}, 2, nullptr},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(KASTARI_CLI), QStringList{"--port", "/dev/kastari-no-such-port"} + c.args);
        p.waitForFinished(30000);
        EXPECT_EQ(p.exitCode(), c.code) << c.args.join(' ').toStdString();
        if (c.left) {
            EXPECT_FALSE(QFileInfo::exists(dir.filePath(c.left))) << c.args.join(' ').toStdString();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"taken"});
}

TEST_F(CliVsSim, ALateReplyIsNotTheAnswerToTheNextRequest) {
    stopSim();
    startSim({"--no-pacing", "--fault", "late,when=1,delay=1000", "--fault", "silence,when=2"});
    CliRun r = cli({"read-holding", "1", "0", "21"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "no reply");
    // By now the first reply has come and waits in the terminal for whoever opens it next.
    QThread::msleep(700);
    r = cli({"read-holding", "1", "100", "21"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "no reply");
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(CliVsSim, ABabblingLineAndASpoiltRecord) {
    stopSim();
    startSim({"--no-pacing", "--fault", "babble,gap=20"});
    CliRun r = cli({"read-holding", "1", "0", "1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "line noise");

    stopSim();
    startSim({"--no-pacing", "--fault", "badrecord,record=2"});
    r = cli({"read-archive", "1", "3", "3", "--record", "0"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 3);
    EXPECT_FALSE(r.out[0].contains("CHECK BYTE WRONG"));
    EXPECT_TRUE(r.out[1].endsWith("CHECK BYTE WRONG"));
    EXPECT_FALSE(r.out[2].contains("CHECK BYTE WRONG"));
}

TEST_F(CliVsSim, RetriesAskAReadAgainButNeverAWrite) {
    stopSim();
    startSim({"--no-pacing", "--fault", "badcrc,when=1"});
    CliRun r = cli({"--retries", "1", "read-holding", "1", "12", "1"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.size(), 1);

    stopSim();
    startSim({"--no-pacing", "--fault", "badcrc,when=1"});
    const QString trace = dir.filePath("write.csv");
    r = cli({"--retries", "5", "--trace", trace, "write-register", "1", "18", "7"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "CRC error");
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count(",tx,"), 1) << "the meter may have written it: never again";

    EXPECT_EQ(cli({"--retries", "6", "read-holding", "1", "12", "1"}).code, 1);
}

TEST(CliUsage, BadCommandLinesNeverReachThePort) {
    const struct {
        QStringList args;
        int code;
        const char* said = nullptr; // the first line on stderr, after "kastari-cli: "
    } cases[] = {
        {{"--help"}, 0},
        {{}, 1},
        {{"--port", "/dev/null"}, 1},
        {{"read-holding", "1", "0", "1"}, 1},
        {{"--port", "1", "frobnicate"}, 1},
        {{"--port", "1", "read-holding", "1", "0"}, 1},
        {{"--port", "1", "read-holding", "256", "0", "1"}, 1},
        {{"--port", "1", "read-holding", "1", "0", "126"}, 1},
        {{"--port", "1", "read-holding", "1", "x", "1"}, 1},
        {{"--port", "1", "read-archive", "1", "0", "8"}, 1},
        {{"--port", "1", "read-archive", "1", "0", "9", "--record", "0"}, 1},
        {{"--port", "1", "read-archive", "1", "3", "26", "--record", "0"}, 1},
        {{"--port", "1", "read-archive", "1", "0", "1", "--date", "31.02.2024 10:00"},
         1,
         "--date: the date 31.02.2024 10:00 does not exist"},
        {{"--port", "1", "read-archive", "1", "0", "1", "--date", "2024-02-01 10:00"},
         1,
         "--date takes \"dd.mm.yyyy hh:nn\", not '2024-02-01 10:00'"},
        {{"--port", "1", "archive", "1", "hour", "--from", "31.02.2026 00:00"},
         1,
         "--from: the date 31.02.2026 00:00 does not exist"},
        {{"--port", "1", "archive", "1", "day", "--from", "01.02.2026", "--to", "01.03.2026 24:00"},
         1,
         "--to: the date 01.03.2026 24:00 does not exist"},
        {{"--port", "1", "archive", "1", "day", "--to", "01.03.2026"}, 1, "--to needs --from"},
        {{"--port", "1", "--comm", "nonsense", "report-id", "1"}, 1},
        {{"--port", "1", "archive", "1", "week"}, 1},
        {{"--port", "1", "archive", "1", "hour", "--from", "02.03.2024", "--to", "01.03.2024"}, 1},
        {{"--port", "1", "archive", "1", "hour", "--from", "31.02.2024"}, 1},
        {{"--port", "1", "journal", "1", "abnormal", "--channel", "3"}, 1, "--channel must be 1 or 2"},
        {{"--port", "1", "archive", "1", "day", "--channel="}, 1, "--channel needs a value"},
        // Every value is checked, the one that does not count too.
        {{"--port", "1", "--baud", "0", "--baud", "9600", "report-id", "1"},
         1,
         "--baud needs a speed in bit/s"},
        {{"--port", "1", "--retries", "6", "report-id", "1"}, 1, "--retries needs a number 0..5"},
        {{"--port", "1", "read-archive", "1", "0", "1", "--record", "65536"},
         1,
         "--record needs a number 0..65535"},
        {{"--port", "1", "--trace=", "report-id", "1"}, 1, "--trace needs a file"},
        {{"--port=", "report-id", "1"}, 1, "--port is required"},
        {{"--port", "/dev/kastari-no-such-port", "--baud", "0x2580", "--retries", "0x1", "report-id", "1"},
         2},
        {{"--port", "1", "journal", "1", "faults", "--from", "01.03.2024"}, 1},
        // An option of another command would be left unread: no file, and success all the same.
        {{"--port", "1", "read-holding", "1", "0", "1", "--out", "x.txt"},
         1,
         "--out is for archive and journal"},
        {{"--port", "1", "save-params", "1", "dir", "--yes"}, 1, "--yes is for load-params"},
        {{"--port", "1", "report-id", "1", "--date"}, 1, "--date needs \"dd.mm.yyyy hh:nn\""},
        {{"--port", "1", "--bogus", "report-id", "1", "--help"}, 0},
        {{"--port", "/dev/kastari-no-such-port", "report-id", "1"}, 2},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(KASTARI_CLI), c.args);
        p.waitForFinished(30000);
        EXPECT_EQ(p.exitCode(), c.code) << c.args.join(' ').toStdString();
        if (c.said) {
            EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).section('\n', 0, 0),
                      QStringLiteral("kastari-cli: ") + QString::fromUtf8(c.said));
        }
        if (c.code == 2) {
            EXPECT_TRUE(p.readAllStandardError().startsWith("port cannot be opened: "));
        }
    }
}

} // namespace
