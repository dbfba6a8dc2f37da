// The real serial control over a pseudo-terminal: opening, line control that a pty cannot do,
// reopening on a change, and a port that disappears in the middle of a transaction.
#include "hex.h"
#include "link/crc16.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tmodbus.h"
#include "link/tmscomm.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The far end of the line, driven by hand from the test.
struct Pty {
    int master = -1, slave = -1;
    QString path;
    Pty() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            termios t{};
            ::tcgetattr(slave, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { closeAll(); }
    void closeAll() {
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
        master = slave = -1;
    }
    QByteArray readAll() {
        QByteArray out;
        char buf[256];
        ssize_t n;
        while (master >= 0 && (n = ::read(master, buf, sizeof buf)) > 0)
            out.append(buf, n);
        return out;
    }
    void write(const QByteArray& b) { (void)!::write(master, b.constData(), size_t(b.size())); }
};

// Answers every request that reaches the far end with the given reply, from the event loop.
void answerWith(Pty& pty, const QByteArray& reply, QObject* context) {
    auto* t = new QTimer(context);
    QObject::connect(t, &QTimer::timeout, context, [&pty, reply] {
        if (!pty.readAll().isEmpty()) pty.write(reply);
    });
    t->start(2);
}

TEST(SerialControl, PortNumbersMapToConfiguredPaths) {
    PortMap::clear();
    EXPECT_EQ(PortMap::systemPort(1), "/dev/ttyS0");
    EXPECT_EQ(PortMap::systemPort(4), "/dev/ttyS3");
    EXPECT_EQ(PortMap::assign("1=/tmp/a"), std::nullopt);
    EXPECT_EQ(PortMap::assign("3=/dev/ttyUSB0"), std::nullopt);
    EXPECT_NE(PortMap::assign("bad"), std::nullopt);
    EXPECT_EQ(PortMap::systemPort(1), "/tmp/a");
    EXPECT_EQ(PortMap::systemPort(3), "/dev/ttyUSB0");
    EXPECT_EQ(PortMap::resolve("3"), "/dev/ttyUSB0");
    EXPECT_EQ(PortMap::resolve("/dev/ttyACM0"), "/dev/ttyACM0");
    PortMap::clear();
}

TEST(SerialControl, TransactsOverAPtyWithRtsModeOn) {
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    QObject context;
    TModBus bus;
    bus.setModbusSilenceMs(60);
    bus.MSComm1()->setSystemPortName(pty.path);
    bus.setRtsMode(true); // a pty cannot drive RTS: the transaction must not notice
    answerWith(pty, crc16::appended(hex("01 03 02 12 34")), &context);
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_TRUE(bus.replyOk()) << describe(bus.replyStatus()).toStdString();
    EXPECT_TRUE(bus.MSComm1()->PortOpen());
    EXPECT_FALSE(dynamic_cast<TMSComm&>(bus.comm()).RTSEnable());
}

// The control holds its receive event until the frame the first bytes announce is complete: a reply
// in pieces, one that stops short of what it announced, and the exchange after it must all come
// out as they would byte by byte.
TEST(SerialControl, AFrameHeldForItsRestEndsAsItWouldByteByByte) {
    const QByteArray full = crc16::appended(hex("01 03 14") + QByteArray(20, '\x11'));
    struct Case {
        const char* name;
        bool fast;
        QList<QByteArray> pieces; // 15 ms apart
        ReplyStatus status;
        int received;
    };
    const Case cases[] = {
        {"pieces", false, {full.left(2), full.mid(2, 10), full.mid(12)}, ReplyStatus::Ok, int(full.size())},
        {"pieces, fast",
         true,
         {full.left(4), full.mid(4, 1), full.mid(5)},
         ReplyStatus::Ok,
         int(full.size())},
        {"short", false, {full.left(3), full.mid(3, 7)}, ReplyStatus::CrcError, 10},
        {"short, fast", true, {full.left(3), full.mid(3, 7)}, ReplyStatus::CrcError, 10},
        {"trailing", true, {full.left(3), full.mid(3), hex("00 00")}, ReplyStatus::Ok, int(full.size())},
    };
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    TModBus bus;
    bus.setModbusSilenceMs(60);
    bus.MSComm1()->setSystemPortName(pty.path);
    for (const Case& c : cases) {
        bus.setFastCompletion(c.fast);
        QObject context;
        auto* t = new QTimer(&context);
        QObject::connect(t, &QTimer::timeout, &context, [&pty, &c, t] {
            if (pty.readAll().isEmpty()) return;
            t->stop();
            for (int i = 0; i < c.pieces.size(); ++i)
                QTimer::singleShot(15 * i, [&pty, piece = c.pieces[i]] { pty.write(piece); });
        });
        t->start(2);
        bus.ReadHoldingRegisters(1, 10, 0);
        EXPECT_EQ(bus.replyStatus(), c.status) << c.name << ": " << describe(bus.replyStatus()).toStdString();
        EXPECT_EQ(bus.replyFrame().size(), c.received) << c.name;
        // The next exchange starts from one byte again.
        answerWith(pty, crc16::appended(hex("01 03 02 12 34")), &context);
        bus.ReadHoldingRegisters(1, 1, 0);
        EXPECT_TRUE(bus.replyOk()) << c.name << " then: " << describe(bus.replyStatus()).toStdString();
    }
}

TEST(SerialControl, ChangingThePortWhileOpenReopensOnTheNewOne) {
    Pty first, second;
    QObject context;
    TModBus bus;
    bus.setModbusSilenceMs(60);
    PortMap::set(7, first.path);
    PortMap::set(8, second.path);
    bus.MSComm1()->setCommPort(7);
    answerWith(first, crc16::appended(hex("01 06 00 0F 00 00")), &context);
    answerWith(second, crc16::appended(hex("01 06 00 0F 00 01")), &context);
    bus.WriteRegister(1, 15, 0);
    EXPECT_TRUE(bus.replyOk());
    bus.MSComm1()->setCommPort(8);
    EXPECT_TRUE(bus.MSComm1()->PortOpen());
    bus.WriteRegister(1, 15, 1);
    EXPECT_TRUE(bus.replyOk());
    bus.MSComm1()->setSettings("19200,n,8,1");
    EXPECT_TRUE(bus.MSComm1()->PortOpen());
    PortMap::clear();
}

TEST(SerialControl, APortThatVanishesEndsTheTransactionAndIsReopenedLater) {
    auto pty = std::make_unique<Pty>();
    // Through a link of our own: a terminal number set free here may be taken at once by another
    // test running beside this one, and its device would then answer the reopened port.
    QTemporaryDir dir;
    const QString path = dir.filePath("adapter");
    ASSERT_TRUE(QFile::link(pty->path, path));
    TModBus bus;
    bus.setModbusSilenceMs(60);
    bus.MSComm1()->setSystemPortName(path);
    int lost = 0;
    QObject::connect(bus.MSComm1(), &LinkPort::portLost, [&] { ++lost; });
    // Half a reply, then the far end goes away like an unplugged adapter.
    QTimer::singleShot(10, [&] {
        pty->readAll();
        pty->write(hex("01 03 02"));
    });
    QTimer::singleShot(30, [&] {
        pty->closeAll();
        QFile::remove(path);
    });
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_FALSE(bus.replyFrame().crcOk());
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::LinkLost);

    // The next transaction tries to open the port again; the path is gone, so it says so.
    QStringList failures;
    QObject::connect(&bus, &TModBus::portOpenFailed, [&](const QString& why) { failures << why; });
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::PortError);
    EXPECT_EQ(failures.size(), 1);
}

// A device server restarted, a simulator started again, an adapter plugged back in: the same link
// now leads to a new terminal, and the first exchange after it must reach it.
TEST(SerialControl, ADeviceThatComesBackIsReachedByTheFirstExchange) {
    for (const bool idleMeanwhile : {true, false}) {
        QTemporaryDir dir;
        const QString link = dir.filePath("line");
        sim::SimOptions options;
        options.pacing = false;
        auto before = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(before->start());
        ASSERT_TRUE(QFile::link(before->portPath(), link));
        TModBus bus;
        bus.setModbusSilenceMs(60);
        bus.MSComm1()->setSystemPortName(link);
        bus.ReadHoldingRegisters(1, 1, 12);
        ASSERT_TRUE(bus.replyOk());

        before.reset();
        if (idleMeanwhile) {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 100)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        sim::Simulator after(options);
        ASSERT_TRUE(after.start());
        ASSERT_TRUE(QFile::remove(link) && QFile::link(after.portPath(), link));

        bus.SetCoil(1, 3);
        EXPECT_TRUE(bus.replyOk()) << describe(bus.replyStatus()).toStdString() << " idle " << idleMeanwhile;
        EXPECT_TRUE(after.coil(1, 3)) << "idle " << idleMeanwhile;
    }
}

TEST(SerialControl, AMissingPortFailsToOpenWithItsName) {
    TModBus bus;
    bus.MSComm1()->setSystemPortName("/dev/kastari-no-such-port");
    bus.ReadHoldingRegisters(1, 1, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::PortError);
    EXPECT_TRUE(bus.portError().contains("/dev/kastari-no-such-port"));
}

} // namespace
