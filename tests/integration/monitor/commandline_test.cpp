// kastari-monitor's command line answered on a machine without a display: the options are read
// before the toolkit starts, which would abort there.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct MonitorRun {
    int code = -1;
    QString out, err;
};

MonitorRun monitorWithoutDisplay(const QStringList& args) {
    QTemporaryDir dir; // nothing is read from or written to the working directory
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(KASTARI_MONITOR), args);
    p.waitForFinished(30000);
    MonitorRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    return r;
}

TEST(MonitorCommandLine, HelpAndABadPortAnswerWithoutADisplay) {
    struct Case {
        QStringList args;
        int code;
        QString out; // a line the output holds
        QString err;
    };
    const Case cases[] = {
        {{"--help"}, 0, QStringLiteral("  --comm n=ПУТЬ"), {}},
        {{"--comm", "2=/dev/ttyUSB0", "-h"}, 0, QStringLiteral("Использование: kastari-monitor"), {}},
        {{"--comm", "x"}, 2, {}, QStringLiteral("bad --comm value 'x'")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const MonitorRun r = monitorWithoutDisplay(c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        if (!c.out.isEmpty()) EXPECT_TRUE(r.out.contains(c.out)) << r.out.toStdString();
        if (!c.err.isEmpty()) EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        if (c.code == 0) EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
}

} // namespace
