// How close a transaction comes to the wire's own time, and how little CPU the wait costs.
//
// A peer thread on a pseudo-terminal answers each request like a meter on a real line would:
// it lets the request's wire time pass, then sends its reply one byte per character time.
// Printed per speed: wall time / floor (request + reply at 10 bits per character + 500 ms
// silence) and the engine thread's CPU time as a share of the wall time.
#include "link/crc16.h"
#include "link/linespeed.h"
#include "link/linkport.h"
#include "link/tmodbus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct PacedPeer {
    int master = -1, slave = -1;
    QString path;
    int baud;
    QByteArray reply;
    std::atomic<bool> stop{false};
    std::thread thread;

    PacedPeer(int b, QByteArray r) : baud(b), reply(std::move(r)) {
        char name[256] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        path = QString::fromLocal8Bit(name);
        thread = std::thread([this] { serve(); });
    }
    ~PacedPeer() {
        stop = true;
        thread.join();
        close(master);
        close(slave);
    }
    std::chrono::microseconds charTime() const { return std::chrono::microseconds(10'000'000 / baud); }
    void serve() {
        char buf[256];
        int have = 0;
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = read(master, buf + have, sizeof buf - size_t(have));
            if (n <= 0) continue;
            have += int(n);
            if (have < 8) continue;
            // The request took its wire time to arrive; then the reply goes out byte by byte.
            std::this_thread::sleep_for(charTime() * have);
            have = 0;
            auto next = std::chrono::steady_clock::now();
            for (char c : reply) {
                next += charTime();
                std::this_thread::sleep_until(next);
                (void)!write(master, &c, 1);
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 6;
    // A read of the 21-register system block: 8 bytes out, 47 bytes back.
    QByteArray reply = QByteArray::fromHex("010314");
    reply += QByteArray(42, '\x11');
    reply[2] = 42;
    reply = crc16::appended(reply);
    std::printf("%-7s %8s %10s %10s %8s %8s\n", "speed", "rounds", "wall ms", "floor ms", "ratio", "cpu %");
    for (int baud : {9600, 38400}) {
        PacedPeer peer(baud, reply);
        TModBus bus;
        bus.MSComm1()->setSystemPortName(peer.path);
        bus.MSComm1()->setSettings(linespeed::settingsFor(baud));
        bus.ReadHoldingRegisters(1, 21, 0); // opens the port outside the measurement
        double wall = 0, cpu = 0;
        int ok = 0;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer t;
            const double c0 = threadCpuSeconds();
            t.start();
            bus.ReadHoldingRegisters(1, 21, 0);
            wall += double(t.nsecsElapsed()) / 1e6;
            cpu += (threadCpuSeconds() - c0) * 1000;
            ok += bus.replyOk() ? 1 : 0;
        }
        const double floorMs = (8 + reply.size()) * 10 * 1000.0 / baud + TModBus::DefaultSilenceMs;
        std::printf("%-7d %8d %10.1f %10.1f %8.4f %8.2f%s\n", baud, rounds, wall / rounds, floorMs,
                    wall / rounds / floorMs, 100.0 * cpu / wall,
                    ok == rounds ? "" : "  (some replies failed)");
    }
    return 0;
}
