// Meters behind a serial device server: RTU frames over TCP. The engine through the TCP control
// against servers that misbehave on purpose, against the simulator on loopback, and kastari-cli
// against the simulator and against an independent RTU-over-TCP slave.
#include "archives/reading.h"
#include "hex.h"
#include "link/crc16.h"
#include "link/linkport.h"
#include "link/portmap.h"
#include "link/tcpcomm.h"
#include "link/tmodbus.h"
#include "sim/simulator.h"

#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSilence = 60;

TEST(DeviceServerAddress, OnlyAHostAndAPortMakeOne) {
    const struct {
        const char* text;
        const char* host; // nullptr: refused
        int port;
    } cases[] = {
        {"tcp://127.0.0.7:4001", "127.0.0.7", 4001},
        {"TCP://gateway.plant:502", "gateway.plant", 502},
        {"tcp://[::1]:4001", "::1", 4001},
        {"tcp://127.0.0.7", nullptr, 0},
        {"tcp://127.0.0.7:0", nullptr, 0},
        {"tcp://127.0.0.7:65536", nullptr, 0},
        {"tcp://:4001", nullptr, 0},
        {"tcp://127.0.0.7:4001/line2", nullptr, 0},
        {"tcp://user@127.0.0.7:4001", nullptr, 0},
        {"/dev/ttyUSB0", nullptr, 0},
    };
    for (const auto& c : cases) {
        const std::optional<TcpEndpoint> endpoint = TcpComm::parseUrl(c.text);
        ASSERT_EQ(endpoint.has_value(), c.host != nullptr) << c.text;
        if (endpoint) {
            EXPECT_EQ(endpoint->host, c.host);
            EXPECT_EQ(endpoint->port, c.port);
        }
        // A device server is mapped like any port; a malformed one is refused, a path is a path.
        const bool url = TcpComm::isUrl(c.text);
        EXPECT_EQ(PortMap::parseAssignment(QStringLiteral("2=") + c.text), !url || endpoint.has_value())
            << c.text;
    }
    PortMap::clear();
}

// A device server scripted by the test, in the test's own thread: the engine's waits run it.
struct ScriptedServer {
    QTcpServer server;
    // What the server does with the bytes of a request on its nth connection (from 1).
    std::function<void(QTcpSocket*, int connection, const QByteArray& request)> onRequest;
    bool closeAtOnce = false;
    int connections = 0;

    ScriptedServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                const int n = ++connections;
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                if (closeAtOnce) {
                    s->disconnectFromHost();
                    continue;
                }
                QObject::connect(s, &QTcpSocket::readyRead, [this, s, n] {
                    if (onRequest) onRequest(s, n, s->readAll());
                });
            }
        });
    }
    QString url() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()); }
};

struct Engine {
    TcpComm tcp;
    TModBus bus{static_cast<CommControl*>(&tcp)};
    explicit Engine(const QString& url) {
        tcp.setUrl(url);
        bus.setModbusSilenceMs(kSilence);
    }
};

const QByteArray kReply = crc16::appended(hex("01 03 04 00 0A 01 02"));

TEST(DeviceServer, OneThatCannotBeReachedIsReportedLikeAPortThatDoesNotOpen) {
    QString refused;
    {
        ScriptedServer gone;
        refused = gone.url(); // nothing listens there once it is gone
    }
    for (const QString& url : {refused, QStringLiteral("tcp://no-such-host.invalid:4001")}) {
        Engine e(url);
        QStringList reasons;
        QObject::connect(&e.bus, &TModBus::portOpenFailed, [&](const QString& r) { reasons << r; });
        e.bus.ReadHoldingRegisters(1, 2, 0);
        EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::PortError) << url.toStdString();
        ASSERT_EQ(reasons.size(), 1);
        EXPECT_TRUE(reasons[0].startsWith(url + ": ")) << reasons[0].toStdString();
        EXPECT_EQ(e.tcp.retryDelayMs(), TcpComm::FirstRetryMs);
    }
}

// A port where nothing listens now: the one a server had until it was gone.
quint16 freePort() {
    ScriptedServer gone;
    return gone.server.serverPort();
}

TEST(DeviceServer, AnOpenWithARetryWindowGoesOnTryingARefusingServer) {
    // Without a window one refusal ends the open (the monitor's case, above); with one, a server
    // that comes up a moment after the first refusal is reached by a later attempt.
    const quint16 port = freePort();
    LinkPort comm;
    comm.setSystemPortName(QStringLiteral("tcp://127.0.0.1:%1").arg(port));
    comm.setRetryWindowMs(TcpComm::ConnectTimeoutMs);
    QTcpServer late;
    QTimer::singleShot(100, [&] { late.listen(QHostAddress::LocalHost, port); });
    QString error;
    EXPECT_TRUE(comm.control().ensureOpen(&error)) << error.toStdString();

    // One that never comes is given up within the window, after more than one attempt.
    TcpComm tcp;
    tcp.setUrl(QStringLiteral("tcp://127.0.0.1:%1").arg(freePort()));
    tcp.setRetryWindowMs(TcpComm::ConnectTimeoutMs);
    EXPECT_FALSE(tcp.ensureOpen(&error));
    EXPECT_GT(tcp.retryDelayMs(), TcpComm::FirstRetryMs);
}

TEST(DeviceServer, OneThatClosesEveryConnectionAtOnceIsAskedLessAndLessOften) {
    ScriptedServer server;
    server.closeAtOnce = true;
    Engine e(server.url());
    for (int delay : {TcpComm::FirstRetryMs, 2 * TcpComm::FirstRetryMs, 4 * TcpComm::FirstRetryMs}) {
        e.bus.ReadHoldingRegisters(1, 2, 0);
        EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::NoReply);
        EXPECT_EQ(e.tcp.retryDelayMs(), delay);
    }
    EXPECT_EQ(server.connections, 3);
}

TEST(DeviceServer, HalfAFrameAndADropIsALostLinkAndTheNextExchangeConnectsAgain) {
    ScriptedServer server;
    server.onRequest = [](QTcpSocket* s, int connection, const QByteArray&) {
        s->write(connection == 1 ? kReply.left(4) : kReply);
        if (connection == 1) s->disconnectFromHost();
    };
    Engine e(server.url());
    e.bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::LinkLost);
    EXPECT_EQ(e.bus.replyFrame().size(), 4);
    // The server had answered something: it is no reason to wait before connecting again.
    EXPECT_EQ(e.tcp.retryDelayMs(), 0);
    e.bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(e.bus.replyOk()) << describe(e.bus.replyStatus()).toStdString();
    EXPECT_EQ(server.connections, 2);
}

TEST(DeviceServer, OneThatStallsMidReplyEndsWithinTheTransactionsBound) {
    ScriptedServer server;
    int requests = 0;
    server.onRequest = [&](QTcpSocket* s, int, const QByteArray&) {
        s->write(++requests == 1 ? kReply.left(3) : kReply);
    };
    Engine e(server.url());
    e.bus.setFastCompletion(true);
    e.bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_EQ(e.bus.replyStatus(), ReplyStatus::CrcError);
    EXPECT_EQ(e.bus.completion(), ReplyCompletion::Silence);
    e.bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(e.bus.replyOk());
    EXPECT_EQ(e.bus.completion(), ReplyCompletion::Length);
    EXPECT_EQ(server.connections, 1);
}

class EngineVsSimOverTcp : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SimOptions o;
        o.pacing = false;
        o.pty = false;
        o.tcpPort = 0;
        simulator = std::make_unique<sim::Simulator>(o);
        QString error;
        ASSERT_TRUE(simulator->start(&error)) << error.toStdString();
        // The serial control of the monitor and kastari-cli, with its port number mapped.
        PortMap::set(3, QStringLiteral("tcp://127.0.0.1:%1").arg(simulator->tcpPort()));
        bus.MSComm1()->setCommPort(3);
        bus.setModbusSilenceMs(kSilence);
    }
    void TearDown() override { PortMap::clear(); }
    // How connections came and went.
    QStringList notes() const {
        QStringList out;
        for (const sim::LogEntry& e : simulator->log())
            if (e.note.startsWith(QLatin1String("tcp:")) || e.note.startsWith(QLatin1String("fault: drop:")))
                out << e.note;
        return out;
    }

    std::unique_ptr<sim::Simulator> simulator;
    TModBus bus;
};

TEST_F(EngineVsSimOverTcp, RepliesOfTheSimulatorEndByTheirLength) {
    // Every function's length rule, split anywhere, is the scripted engine test's; here the frames
    // come whole from the simulator over a real socket.
    bus.setFastCompletion(true);
    const QDateTime hoursAgo = QDateTime::currentDateTime().addSecs(-10 * 3600);
    const struct {
        const char* name;
        std::function<void()> send;
        ReplyStatus status;
    } requests[] = {
        {"read", [&] { bus.ReadHoldingRegisters(1, 21, 0); }, ReplyStatus::Ok},
        {"write", [&] { bus.WriteRegister(1, 18, 123); }, ReplyStatus::Ok},
        {"archiveByDate", [&] { bus.ReadArchiveByDate(1, 0, 8, hoursAgo); }, ReplyStatus::Ok},
        {"journalByRecord", [&] { bus.ReadArchiveByRecord(1, 5, 25, 0.0); }, ReplyStatus::Ok},
        {"exception", [&] { bus.ReadHoldingRegisters(1, 1, 309); }, ReplyStatus::Exception},
    };
    for (const auto& r : requests) {
        r.send();
        EXPECT_EQ(bus.replyStatus(), r.status) << r.name << ": " << describe(bus.replyStatus()).toStdString();
        EXPECT_EQ(bus.completion(), ReplyCompletion::Length) << r.name;
    }
    EXPECT_EQ(simulator->holding(1, 18), 123);
    bus.setFastCompletion(false);
    bus.ReadHoldingRegisters(1, 21, 0);
    EXPECT_TRUE(bus.replyOk());
    EXPECT_EQ(bus.completion(), ReplyCompletion::Silence);
    EXPECT_EQ(notes(), QStringList{"tcp: connected"});
}

// The settings dialog may move the engine between a serial port and a device server, and back: each
// name gets its own kind of control, and the loss of a connection is still heard from the new one.
TEST_F(EngineVsSimOverTcp, ANewPortNameSwitchesTheControlBothWays) {
    sim::SimOptions o;
    o.pacing = false;
    sim::Simulator serial(o);
    ASSERT_TRUE(serial.start());
    PortMap::set(4, serial.portPath());
    int lost = 0;
    QObject::connect(bus.MSComm1(), &LinkPort::portLost, [&] { ++lost; });
    const struct {
        int port;
        bool tcp;
    } steps[] = {{3, true}, {4, false}, {3, true}, {4, false}, {3, true}};
    int servedOverTcp = 0;
    for (const auto& step : steps) {
        bus.MSComm1()->setCommPort(step.port);
        EXPECT_EQ(dynamic_cast<TcpComm*>(&bus.comm()) != nullptr, step.tcp) << step.port;
        bus.WriteRegister(1, 18, quint16(100 + step.port));
        ASSERT_TRUE(bus.replyOk()) << step.port << ": " << describe(bus.replyStatus()).toStdString();
        if (step.tcp) ++servedOverTcp;
        // A port that was open is open again on the new line at once.
        EXPECT_TRUE(bus.MSComm1()->PortOpen()) << step.port;
    }
    EXPECT_EQ(simulator->holding(1, 18), 103);
    EXPECT_EQ(serial.holding(1, 18), 104);
    EXPECT_EQ(notes().count(QStringLiteral("tcp: connected")), servedOverTcp);

    sim::FaultSpec drop = sim::FaultSpec::onNth(sim::Fault::Drop, 1);
    drop.closeAfterBytes = 3;
    simulator->setFault(drop);
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::LinkLost);
    EXPECT_EQ(lost, 1);
}

TEST_F(EngineVsSimOverTcp, AConnectionDroppedMidReplyOrBetweenExchangesIsMadeAgain) {
    sim::FaultSpec midReply = sim::FaultSpec::onNth(sim::Fault::Drop, 1);
    midReply.closeAfterBytes = 3;
    simulator->setFault(midReply);
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_EQ(bus.replyStatus(), ReplyStatus::LinkLost);
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(bus.replyOk()) << describe(bus.replyStatus()).toStdString();

    sim::FaultSpec afterReply = sim::FaultSpec::onNth(sim::Fault::Drop, 1);
    afterReply.closeAfterBytes = 1000;
    simulator->setFault(afterReply);
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(bus.replyOk());
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(bus.replyOk()) << describe(bus.replyStatus()).toStdString();
    // One connection at a time: each made only after the last was gone.
    EXPECT_EQ(notes(),
              (QStringList{"tcp: connected", "fault: drop: the connection is closed", "tcp: connected",
                           "fault: drop: the connection is closed", "tcp: connected"}));
}

struct CliRun {
    int code = -1;
    QStringList out;
    QString err;
};

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KASTARI_CLI), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

// Starts a server program that prints "ready ..." when it serves; the rest of that line back.
QString startServer(QProcess& process, const QString& program, const QStringList& args) {
    process.start(program, args);
    if (!process.waitForStarted(5000)) return {};
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromUtf8(process.readLine()).trimmed();
    return line.startsWith(QLatin1String("ready ")) ? line.mid(6) : QString();
}

struct Stopped {
    QProcess& process;
    ~Stopped() {
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill();
    }
};

TEST(SimulatorOverTcp, AMasterGoneWhileTheReplyIsWrittenIsDroppedAndTheNextOneIsServed) {
    QProcess sim;
    const Stopped stop{sim};
    // Paced, so the reply goes out in many writes: those after the first meet a closed connection.
    const QString url = startServer(sim, QStringLiteral(KASTARI_SIM),
                                    {"--tcp", "0", "--verbose", "--fault", "late,when=1,delay=300"});
    ASSERT_TRUE(url.startsWith("tcp://127.0.0.1:")) << url.toStdString();
    QString said;
    const auto waitToSay = [&](const QString& text) {
        for (int i = 0; i < 100 && !said.contains(text) && sim.state() == QProcess::Running; ++i) {
            sim.waitForReadyRead(100);
            said += QString::fromLatin1(sim.readAllStandardOutput());
        }
        return said.contains(text);
    };
    // A plain socket: the test process keeps SIGPIPE as it was, and the simulator inherits it.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(url.section(':', -1).toInt()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const QByteArray request = crc16::appended(hex("01 03 00 00 00 20")); // a 69-byte reply
    ASSERT_EQ(::write(fd, request.constData(), size_t(request.size())), request.size());
    // Gone once the simulator has taken the request and waits to answer it.
    ASSERT_TRUE(waitToSay(QString::fromLatin1(request.toHex(' ')))) << said.toStdString();
    ::close(fd);
    EXPECT_TRUE(waitToSay("(tcp: the master closed the connection)")) << said.toStdString();
    ASSERT_EQ(sim.state(), QProcess::Running) << "exit " << sim.exitCode() << ", " << said.toStdString();

    TModBus bus;
    bus.setModbusSilenceMs(kSilence);
    bus.MSComm1()->setSystemPortName(url);
    bus.ReadHoldingRegisters(1, 2, 0);
    EXPECT_TRUE(bus.replyOk()) << describe(bus.replyStatus()).toStdString();
}

TEST(CliOverTcp, AnIndependentSlaveBehindADeviceServerAnswersTheCli) {
    QProcess peer;
    Stopped stop{peer};
    const QString port =
        startServer(peer, QStringLiteral("python3"), {QStringLiteral(PEER_RTU_OVER_TCP), "7"});
    ASSERT_FALSE(port.isEmpty()) << peer.readAllStandardError().toStdString();
    const QString url = "tcp://127.0.0.1:" + port;
    for (const QStringList& mode : {QStringList{}, QStringList{"--fast"}}) {
        const CliRun r = cli(QStringList{"--port", url} + mode + QStringList{"read-holding", "7", "0", "3"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, (QStringList{"0 1", "1 4", "2 7"}));
    }
    EXPECT_EQ(cli({"--port", "2", "--comm", "2=" + url, "--fast", "write-register", "7", "5", "77"}).code, 0);
    EXPECT_EQ(cli({"--port", url, "read-holding", "7", "5", "1"}).out, QStringList{"5 77"});
    EXPECT_EQ(cli({"--port", url, "--fast", "report-id", "7"}).out, QStringList{"PEER   TCP"});
    const CliRun refused = cli({"--port", url, "--fast", "read-coils", "7", "0", "8"});
    EXPECT_EQ(refused.code, 3);
    EXPECT_EQ(refused.err, "exception 1 (illegal function)");
}

TEST(CliOverTcp, AServerThatComesUpWhileTheCliTriesIsReached) {
    const quint16 port = freePort();
    QProcess p;
    p.start(QStringLiteral(KASTARI_CLI), {"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port), "--fast",
                                          "read-holding", "1", "0", "1"});
    ASSERT_TRUE(p.waitForStarted(5000));
    QTcpServer late;
    QObject::connect(&late, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = late.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, [s] {
            if (s->readAll() == crc16::appended(hex("01 03 00 00 00 01")))
                s->write(crc16::appended(hex("01 03 02 00 2A")));
        });
    });
    // A moment after the program's first attempt, well within its retries.
    QTimer::singleShot(200, [&] { late.listen(QHostAddress::LocalHost, port); });
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), "0 42\n");
}

TEST(CliOverTcp, TheSimulatorServesOverTcpAndAnUnreachableServerIsAPortError) {
    QProcess simulator;
    Stopped stop{simulator};
    const QString url = startServer(simulator, QStringLiteral(KASTARI_SIM), {"--tcp", "0", "--no-pacing"});
    ASSERT_TRUE(url.startsWith("tcp://127.0.0.1:")) << url.toStdString();
    const CliRun r = cli({"--port", url, "--fast", "--raw", "read-holding", "1", "12", "1"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.value(1), "12 1");

    const CliRun unreachable = cli({"--port", "tcp://127.0.0.1:1", "report-id", "1"});
    EXPECT_EQ(unreachable.code, 2);
    EXPECT_TRUE(unreachable.err.startsWith("port cannot be opened: tcp://127.0.0.1:1: "))
        << unreachable.err.toStdString();
    EXPECT_EQ(cli({"--port", "tcp://127.0.0.1", "report-id", "1"}).code, 1);
}

} // namespace
