// kastari-sim: flow meters on a pseudo-terminal, for the monitor, kastari-cli and people training.
#include "sim/simcommandline.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

void print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const sim::SimCommandLine cl = sim::parseSimCommandLine(args);
    if (cl.help) {
        print(stdout, sim::simUsage());
        return 0;
    }
    if (!cl.error.isEmpty()) {
        print(stderr, QStringLiteral("kastari-sim: %1\n").arg(cl.error));
        return 2;
    }

    // The serving thread must not take the stop signals; the main thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const QByteArray link = QFile::encodeName(cl.link);
    QFileInfo existing(cl.link);
    if (!cl.link.isEmpty() && (existing.exists() || existing.isSymLink())) {
        if (!existing.isSymLink()) {
            print(stderr, QStringLiteral("kastari-sim: %1 exists and is not a symbolic link\n").arg(cl.link));
            return 1;
        }
        ::unlink(link.constData());
    }

    // Nothing in this process reads the frame log (--verbose prints each entry as it comes), and
    // left to grow it only costs memory.
    sim::SimOptions options = cl.options;
    options.logLimit = 0;
    sim::Simulator simulator(options);
    if (cl.verbose) {
        simulator.setLogListener([](const sim::LogEntry& e) {
            QString line = QStringLiteral("%1 %2 %3")
                               .arg(e.ms, 9)
                               .arg(e.fromMaster ? QStringLiteral("rx") : QStringLiteral("tx"),
                                    QString::fromLatin1(e.frame.toHex(' ')));
            if (!e.note.isEmpty()) line += QStringLiteral("  (%1)").arg(e.note);
            print(stdout, line + QLatin1Char('\n'));
        });
    }
    QString error;
    if (!simulator.start(&error)) {
        print(stderr, QStringLiteral("kastari-sim: cannot serve: %1\n").arg(error));
        return 1;
    }
    if (!cl.link.isEmpty()) {
        if (::symlink(QFile::encodeName(simulator.portPath()).constData(), link.constData()) != 0) {
            print(stderr, QStringLiteral("kastari-sim: cannot create %1: %2\n")
                              .arg(cl.link, QString::fromLocal8Bit(std::strerror(errno))));
            return 1;
        }
        print(stdout, QStringLiteral("ready %1\n").arg(cl.link));
    }
    if (simulator.tcpPort() > 0)
        print(stdout, QStringLiteral("ready tcp://127.0.0.1:%1\n").arg(simulator.tcpPort()));

    int status = 0;
    for (;;) {
        timespec wait{0, 200 * 1000 * 1000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &wait);
        if (sig > 0) break;
        if (!simulator.isRunning()) {
            print(stderr, QStringLiteral("kastari-sim: the port was closed\n"));
            status = 1;
            break;
        }
    }
    if (!cl.link.isEmpty()) ::unlink(link.constData());
    simulator.stop();
    return status;
}
