// The simulator through its real pseudo-terminal, with a raw descriptor as the master: framing,
// pacing, silence, the modem and a port that vanishes.
#include "hex.h"
#include "link/crc16.h"
#include "sim/simulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray request(const char* hexText) {
    return crc16::appended(hex(hexText));
}

// The master end: the simulator's slave side opened raw, as a serial port would be.
class Master {
  public:
    explicit Master(const QString& path) {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~Master() {
        if (fd >= 0) ::close(fd);
    }
    void send(const QByteArray& b) { ASSERT_EQ(::write(fd, b.constData(), size_t(b.size())), b.size()); }
    // Reads until `want` bytes came or the line stayed quiet for quietMs; counts the reads.
    QByteArray receive(int want, int quietMs = 1000, int* reads = nullptr) {
        QByteArray out;
        while (out.size() < want) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) break;
            if (p.revents & (POLLHUP | POLLERR) && !(p.revents & POLLIN)) {
                hungUp = true;
                break;
            }
            char buf[512];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) {
                hungUp = true;
                break;
            }
            out.append(buf, int(n));
            if (reads) ++*reads;
        }
        return out;
    }
    int fd = -1;
    bool hungUp = false;
};

sim::SimOptions fast() {
    sim::SimOptions o;
    o.pacing = false;
    return o;
}

TEST(SimPty, ServesRequestsAndLogsThemInOrder) {
    sim::Simulator s(fast());
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    ASSERT_GE(m.fd, 0);
    m.send(request("01 03 00 0c 00 02"));
    const QByteArray reply = m.receive(9);
    ASSERT_EQ(reply.size(), 9);
    EXPECT_EQ(toHex(reply.left(5)), "01 03 04 00 01");
    EXPECT_EQ(crc16::compute(reply), 0);
    EXPECT_EQ((quint8(reply[5]) << 8 | quint8(reply[6])), s.holding(1, 13));

    m.send(request("01 06 00 12 00 2a"));
    EXPECT_EQ(m.receive(8), request("01 06 00 12 00 2a"));
    EXPECT_EQ(s.holding(1, 18), 42);

    const auto log = s.log();
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[0].fromMaster);
    EXPECT_EQ(log[0].frame, request("01 03 00 0c 00 02"));
    EXPECT_FALSE(log[1].fromMaster);
    EXPECT_EQ(log[1].frame, reply);
    EXPECT_LE(log[0].ms, log[1].ms);
    EXPECT_EQ(s.requests(), (QList<QByteArray>{request("01 03 00 0c 00 02"), request("01 06 00 12 00 2a")}));
    EXPECT_EQ(s.repliesSent(), 2);
    s.clearLog();
    EXPECT_TRUE(s.log().isEmpty());
}

TEST(SimPty, StaysSilentForOtherAddressesAndBroadcasts) {
    auto o = fast();
    sim::DeviceOptions a, b;
    b.address = 5;
    o.devices = {a, b};
    sim::Simulator s(o);
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    // A foreign address, a broadcast write and garbage, then a request to meter 5: the first bytes
    // that come back are meter 5's reply.
    m.send(request("09 03 00 00 00 01"));
    m.send(request("00 06 00 0f 00 01"));
    m.send(hex("13 37"));
    m.send(request("05 11"));
    const QByteArray reply = m.receive(1000, 300);
    ASSERT_GE(reply.size(), 5);
    EXPECT_EQ(toHex(reply.left(2)), "05 11");
    EXPECT_EQ(crc16::compute(reply), 0) << "nothing but that one reply arrived";
    EXPECT_EQ(s.holding(1, 15), 1);
    EXPECT_EQ(s.holding(5, 15), 1);
    EXPECT_EQ(s.repliesSent(), 1);
    QStringList notes;
    for (const auto& e : s.log())
        if (e.fromMaster && !e.note.isEmpty()) notes << e.note;
    EXPECT_EQ(notes.size(), 3) << notes.join(" | ").toStdString();
}

TEST(SimPty, PacingSpreadsTheReplyOverTheLine) {
    sim::SimOptions o;
    o.baud = 4800; // about 2 ms per character
    sim::Simulator s(o);
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    m.send(request("01 03 00 00 00 7d")); // 255 bytes back
    int reads = 0;
    const QByteArray reply = m.receive(255, 1000, &reads);
    ASSERT_EQ(reply.size(), 255);
    EXPECT_EQ(crc16::compute(reply), 0);
    // Written a few characters at a time, the reply cannot come in one piece.
    EXPECT_GT(reads, 20);
}

TEST(SimPty, FaultsSetAtRunTimeShapeTheNextReply) {
    sim::Simulator s(fast());
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    const QByteArray req = request("01 03 00 00 00 02");
    auto chunks = sim::FaultSpec::onNth(sim::Fault::Chunks, 1);
    chunks.chunkSize = 2;
    chunks.chunkGapMs = 5;
    s.setFault(chunks);
    m.send(req);
    const QByteArray chunked = m.receive(9);
    EXPECT_EQ(chunked.size(), 9);
    EXPECT_EQ(crc16::compute(chunked), 0);
    EXPECT_EQ(s.log().last().note, "fault: chunks");

    s.setFault(sim::FaultSpec::always(sim::Fault::BadCrc));
    m.send(req);
    EXPECT_NE(crc16::compute(m.receive(9)), 0);
    s.clearFaults();
    m.send(req);
    EXPECT_EQ(crc16::compute(m.receive(9)), 0);
}

TEST(SimPty, BabbleGoesOnUntilTheNextRequest) {
    sim::Simulator s(fast());
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    auto babble = sim::FaultSpec::onNth(sim::Fault::Babble, 1);
    babble.chunkGapMs = 2;
    s.setFault(babble);
    const QByteArray req = request("01 03 00 00 00 02");
    m.send(req);
    EXPECT_GE(m.receive(50, 5000).size(), 50) << "a byte every 2 ms, far past any reply";
    m.send(req);
    // What the line still carried before the request reached the meter, then the reply, then quiet.
    auto replied = [](const QByteArray& bytes) {
        return bytes.size() >= 9 && bytes.right(9).startsWith(hex("01 03 04")) &&
               crc16::compute(bytes.right(9)) == 0;
    };
    QByteArray rest;
    while (!replied(rest) && rest.size() < 5000) {
        const QByteArray more = m.receive(1, 5000);
        if (more.isEmpty()) break;
        rest += more;
    }
    EXPECT_TRUE(replied(rest)) << toHex(rest.right(20)).toStdString();
    EXPECT_TRUE(m.receive(1, 200).isEmpty());
}

TEST(SimPty, ARequestTakesItsOwnTimeToArrive) {
    sim::SimOptions o;
    o.baud = 300;
    sim::Simulator s(o);
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    // 255 bytes need 8.5 s on a 300 bit/s line; the meter cannot answer what it has not yet heard.
    m.send(crc16::appended(hex("01 10 00 00 00 7B F6") + QByteArray(246, '\0')));
    EXPECT_TRUE(m.receive(1, 2000).isEmpty());
    EXPECT_TRUE(s.requests().isEmpty());
}

TEST(SimPty, WithoutALogLimitNothingIsKeptButListenersHearEverything) {
    auto o = fast();
    o.logLimit = 0;
    sim::Simulator s(o);
    int heard = 0;
    s.setLogListener([&](const sim::LogEntry&) { ++heard; });
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    m.send(request("01 03 00 0c 00 01"));
    EXPECT_EQ(m.receive(7).size(), 7);
    s.stop();
    EXPECT_TRUE(s.log().isEmpty());
    EXPECT_EQ(heard, 2);
}

TEST(SimPty, ClosePortFaultMakesThePortVanishMidReply) {
    sim::Simulator s(fast());
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    s.setFault(sim::FaultSpec::always(sim::Fault::ClosePort));
    m.send(request("01 03 00 00 00 0a")); // 25 bytes, 12 of them arrive
    const QByteArray partial = m.receive(25);
    EXPECT_EQ(partial.size(), 12);
    EXPECT_TRUE(m.hungUp);
    for (int i = 0; i < 200 && s.isRunning(); ++i)
        ::usleep(5000);
    EXPECT_FALSE(s.isRunning());
}

TEST(SimPty, ModemDialsThenPassesModbus) {
    auto o = fast();
    o.modem = true;
    o.modemDialDelayMs = 10;
    sim::Simulator s(o);
    ASSERT_TRUE(s.start());
    Master m(s.portPath());
    m.send("ATZ\r\r");
    EXPECT_EQ(m.receive(11), QByteArray("ATZ\r\r\r\nOK\r\n"));
    s.setModemDialResult(QStringLiteral("BUSY"));
    m.send("ATD123\r\r");
    EXPECT_EQ(m.receive(16), QByteArray("ATD123\r\r\r\nBUSY\r\n"));
    // A request while no carrier is up is only text to the modem.
    m.send(request("01 03 00 00 00 01"));
    EXPECT_EQ(m.receive(7, 200), request("01 03 00 00 00 01"));
    m.send("\r");
    m.receive(1, 100);
    s.setModemDialResult(QStringLiteral("CONNECT 9600"));
    m.send("ATDT5551234\r\r");
    EXPECT_EQ(m.receive(27), QByteArray("ATDT5551234\r\r\r\nCONNECT 9600\r\n"));
    m.send(request("01 03 00 0c 00 01"));
    EXPECT_EQ(m.receive(7), request("01 03 02 00 01"));
    QList<QByteArray> commands;
    for (const auto& e : s.log())
        if (e.note == "modem command") commands.append(e.frame);
    EXPECT_EQ(commands.size(), 4);
    EXPECT_EQ(commands.first(), QByteArray("ATZ"));
    EXPECT_EQ(commands.last(), QByteArray("ATDT5551234"));
}

TEST(SimPty, StopsPromptlyWhileNobodyReads) {
    sim::Simulator s(fast());
    ASSERT_TRUE(s.start());
    {
        Master m(s.portPath());
        for (int i = 0; i < 50; ++i)
            m.send(request("01 03 00 00 00 7d"));
    }
    s.stop();
    EXPECT_FALSE(s.isRunning());
    s.stop(); // twice is harmless
}

} // namespace
