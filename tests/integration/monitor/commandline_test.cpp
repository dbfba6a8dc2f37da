// kastari-monitor's and kastari-tour's command lines answered on a machine without a display: the
// options are read before the toolkit starts, which would abort there.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct MonitorRun {
    int code = -1;
    QString out, err;
};

MonitorRun withoutDisplay(const QString& program, const QStringList& args) {
    QTemporaryDir dir; // nothing is read from or written to the working directory
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(program, args);
    p.waitForFinished(30000);
    MonitorRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    return r;
}

TEST(MonitorCommandLine, HelpAndABadPortAnswerWithoutADisplay) {
    const QString monitor = QStringLiteral(KASTARI_MONITOR);
    const QString tour = QStringLiteral(KASTARI_TOUR);
    struct Case {
        QString program;
        QStringList args;
        int code;
        QString out; // a line the output holds
        QString err;
    };
    const Case cases[] = {
        {monitor, {"--help"}, 0, QStringLiteral("  --comm n=ПУТЬ"), {}},
        {monitor,
         {"--comm", "2=/dev/ttyUSB0", "-h"},
         0,
         QStringLiteral("Использование: kastari-monitor"),
         {}},
        {monitor, {"--comm", "x"}, 2, {}, QStringLiteral("bad --comm value 'x'")},
        {monitor,
         {"--comm=1=/dev/ttyUSB0", "--comm=y", "--comm", "z"},
         2,
         {},
         QStringLiteral("'y' (expected n=PATH or n=tcp://HOST:PORT)\nbad --comm value 'z'")},
        {monitor, {"--fast", "--comm"}, 2, {}, QStringLiteral("--comm needs n=PATH")},
        // The toolkit's options are its own, and a word of letters is no bundle holding "-h".
        {monitor,
         {"-stylesheet", "a.qss", "-platform", "xcb", "--comm", "x"},
         2,
         {},
         QStringLiteral("bad --comm value 'x'")},
        {monitor, {"-platform", "xcb", "-help"}, 0, QStringLiteral("  --fast"), {}},
        {tour, {"--help"}, 0, QStringLiteral("--screenshots DIR"), {}},
        {tour, {"--comm", "1=/dev/ttyUSB0"}, 2, {}, QStringLiteral("--screenshots DIR is required")},
        {tour, {"--screenshots", "pictures", "--comm", "x"}, 2, {}, QStringLiteral("bad --comm value 'x'")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.program + u' ' + c.args.join(' ')).toStdString());
        const MonitorRun r = withoutDisplay(c.program, c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        if (!c.out.isEmpty()) EXPECT_TRUE(r.out.contains(c.out)) << r.out.toStdString();
        if (!c.err.isEmpty()) EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        if (c.code == 0) EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
}

} // namespace
