#include "sim/simulator.h"

#include "sim/frameassembler.h"
#include "sim/hayesmodem.h"
#include "sim/rtuslave.h"
#include "sim/seededrandom.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {

namespace {
speed_t termiosSpeed(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}
} // namespace

// The serving side: the pty pair, the poll() loop and everything it touches. Every member that
// the API reads is guarded by `mutex`.
class SimulatorThread {
  public:
    explicit SimulatorThread(SimOptions o)
        : options(std::move(o)), slave(options),
          assembler(std::max(10, int(std::ceil(35000.0 / std::max(1, options.baud))))),
          noise(SeededRandom::mix(options.seed, 0xBABB1E)) {
        if (options.modem)
            modem.emplace(options.modemDialResult, options.modemInitResult, options.modemDialDelayMs);
        clock.start();
    }
    ~SimulatorThread() { stop(); }

    bool start(QString* error);
    void stop();
    void run();

    qint64 nowMs() const { return clock.elapsed(); }
    void onBytes(const QByteArray& bytes);
    void onPieces(const QList<FrameAssembler::Piece>& pieces);
    void serve(const QByteArray& frame);
    bool execute(const ReplyPlan& plan);
    bool writePaced(const QByteArray& bytes);
    bool writeAll(const char* data, int size);
    // One write to the line; a master that has closed its connection is dropped (-1, errno EPIPE).
    ssize_t put(const char* data, int size);
    // Sleeps unless stop() is called; false when it was.
    bool pause(int ms);
    void record(bool fromMaster, const QByteArray& frame, const QString& note);
    void append(const LogEntry& e) { // mutex held
        if (options.logLimit <= 0) return;
        log.append(e);
        while (log.size() > std::max(1, options.logLimit))
            log.removeFirst();
    }
    void closePort();
    bool openPty(QString* step);
    bool listen(QString* step);
    void accept();
    void dropConnection(const QString& note);
    // The time a frame of this many bytes takes on the line, 10 bits a character.
    int wireMs(qint64 bytes) const { return int(std::ceil(bytes * 10000.0 / std::max(1, options.baud))); }
    void babbleIfDue();

    SimOptions options;
    mutable std::mutex mutex;
    RtuSlave slave;
    std::optional<HayesModem> modem;
    FrameAssembler assembler;
    // When the first byte of the request being assembled came in.
    qint64 requestStartMs = 0;
    // Babble: the next noise byte is due then; -1 while the line is quiet.
    qint64 babbleDueMs = -1;
    int babbleGapMs = 0;
    SeededRandom noise;
    QList<LogEntry> log;
    int replies = 0;
    std::function<void(const LogEntry&)> listener;

    int masterFd = -1;
    int slaveFd = -1;
    // TCP: the listening socket and the one connection served at a time.
    int listenFd = -1;
    int clientFd = -1;
    int boundPort = 0;
    // Where replies go: the pseudo-terminal or the connection the request came from.
    int lineFd = -1;
    int wake[2] = {-1, -1};
    QString path;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<bool> running{false};
    QElapsedTimer clock;
};

bool SimulatorThread::start(QString* error) {
    if (running) return true;
    auto fail = [&](const QString& what) {
        if (error) *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        closePort();
        return false;
    };
    // The helpers name the step that failed and leave errno as it says why.
    QString step;
    if (options.tcpPort >= 0 && !listen(&step)) return fail(step);
    if (options.pty && !openPty(&step)) return fail(step);
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail(QStringLiteral("pipe"));
    stopping = false;
    running = true;
    thread = std::thread([this] { run(); });
    return true;
}

bool SimulatorThread::openPty(QString* step) {
    auto fail = [&](const QString& what) {
        *step = what;
        return false;
    };
    char name[256] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) return fail(QStringLiteral("openpty"));
    path = QString::fromLocal8Bit(name);
    // Raw both ways before anyone opens the slave: no echo, no CR/LF translation, no signals.
    termios tio{};
    if (tcgetattr(slaveFd, &tio) != 0) return fail(QStringLiteral("tcgetattr"));
    cfmakeraw(&tio);
    cfsetispeed(&tio, termiosSpeed(options.baud));
    cfsetospeed(&tio, termiosSpeed(options.baud));
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slaveFd, TCSANOW, &tio) != 0) return fail(QStringLiteral("tcsetattr"));
    if (tcgetattr(masterFd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(masterFd, TCSANOW, &tio);
    }
    // Our own slave descriptor stays open, so the master never reads a hang-up while no program
    // has the port open.
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    return true;
}

void SimulatorThread::stop() {
    stopping = true;
    if (wake[1] >= 0) {
        const char c = 'q';
        [[maybe_unused]] auto n = ::write(wake[1], &c, 1);
    }
    if (thread.joinable()) thread.join();
    closePort();
    for (int& fd : wake) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void SimulatorThread::closePort() {
    running = false;
    for (int* fd : {&masterFd, &slaveFd, &clientFd, &listenFd}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    lineFd = -1;
}

bool SimulatorThread::listen(QString* step) {
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (listenFd >= 0) ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // Loopback only: a training simulator must not be reachable from the network.
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(options.tcpPort));
    socklen_t length = sizeof address;
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 4) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        *step = QStringLiteral("127.0.0.1:%1").arg(options.tcpPort);
        return false;
    }
    boundPort = ntohs(address.sin_port);
    return true;
}

void SimulatorThread::accept() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clientFd >= 0) {
        // A device server of this kind serves one master at a time.
        ::close(fd);
        record(true, {}, QStringLiteral("tcp: a second connection refused"));
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    clientFd = fd;
    record(true, {}, QStringLiteral("tcp: connected"));
}

void SimulatorThread::dropConnection(const QString& note) {
    if (clientFd < 0) return;
    // Unread bytes would turn the close into a reset, which may cost the master what was written.
    char drain[256];
    while (::read(clientFd, drain, sizeof drain) > 0) {
    }
    ::shutdown(clientFd, SHUT_WR);
    ::close(clientFd);
    if (lineFd == clientFd) lineFd = -1;
    clientFd = -1;
    record(false, {}, note);
}

void SimulatorThread::run() {
    char buffer[4096];
    while (!stopping && (masterFd >= 0 || listenFd >= 0)) {
        int timeout = -1;
        for (const qint64 deadline : {assembler.deadline(), babbleDueMs}) {
            if (deadline < 0) continue;
            const int wait = int(std::max<qint64>(0, deadline - nowMs()) + 1);
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        }
        // A descriptor of -1 is left out by poll().
        pollfd fds[4] = {
            {masterFd, POLLIN, 0}, {wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}, {clientFd, POLLIN, 0}};
        const int n = ::poll(fds, 4, timeout);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) {
            char drain[16];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
            if (stopping) break;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(masterFd, buffer, sizeof buffer);
            lineFd = masterFd;
            if (got > 0) onBytes(QByteArray(buffer, int(got)));
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            pause(10); // nobody on the other side just now
        }
        if (fds[3].revents && clientFd >= 0) {
            const ssize_t got = ::read(clientFd, buffer, sizeof buffer);
            if (got > 0) {
                lineFd = clientFd;
                onBytes(QByteArray(buffer, int(got)));
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                dropConnection(QStringLiteral("tcp: the master closed the connection"));
            }
        }
        if (fds[2].revents & POLLIN) accept();
        if (lineFd >= 0) onPieces(assembler.flushIfSilent(nowMs()));
        babbleIfDue();
    }
}

void SimulatorThread::babbleIfDue() {
    if (babbleDueMs < 0 || nowMs() < babbleDueMs || lineFd < 0) return;
    const char byte = char(noise.next() & 0xFF);
    // Nobody may be reading: a full queue just loses the noise.
    put(&byte, 1);
    babbleDueMs = nowMs() + babbleGapMs;
}

void SimulatorThread::onBytes(const QByteArray& bytes) {
    if (assembler.idle()) requestStartMs = nowMs();
    // A master that speaks again has given up on the babble.
    babbleDueMs = -1;
    if (!modem) {
        onPieces(assembler.feed(bytes, nowMs()));
        return;
    }
    HayesModem::Output out;
    {
        std::lock_guard lock(mutex);
        const bool wasOnline = modem->online();
        out = modem->feed(bytes, nowMs());
        if (!wasOnline) {
            for (const auto& line : out.commands) {
                LogEntry e{nowMs(), true, line, QStringLiteral("modem command")};
                append(e);
                if (listener) listener(e);
            }
        }
    }
    if (!out.toMaster.isEmpty()) {
        ReplyPlan plan;
        plan.chunks = out.toMaster;
        plan.note = QStringLiteral("modem");
        execute(plan);
    }
    if (!out.toLine.isEmpty()) onPieces(assembler.feed(out.toLine, nowMs()));
}

void SimulatorThread::onPieces(const QList<FrameAssembler::Piece>& pieces) {
    for (const auto& p : pieces) {
        if (lineFd < 0) return;
        if (p.frame)
            serve(p.bytes);
        else
            record(true, p.bytes,
                   QStringLiteral("ignored: no request frame (garbage, truncated or bad CRC)"));
    }
}

void SimulatorThread::serve(const QByteArray& frame) {
    // A real line delivers the request a character at a time; the pty hands it over at once, which
    // would let a master see its reply before the request could have arrived.
    if (options.pacing && !pause(int(requestStartMs + wireMs(frame.size()) - nowMs()))) return;
    ReplyPlan plan;
    {
        std::lock_guard lock(mutex);
        plan = slave.handle(frame);
    }
    record(true, frame, plan.isSilent() ? plan.note : QString());
    execute(plan);
}

bool SimulatorThread::execute(const ReplyPlan& plan) {
    if (plan.babbleGapMs > 0) {
        babbleGapMs = plan.babbleGapMs;
        babbleDueMs = nowMs() + babbleGapMs;
        record(false, {}, QStringLiteral("fault: babble: a noise byte every %1 ms").arg(babbleGapMs));
        return true;
    }
    if (!plan.chunks.isEmpty() && options.pacing) {
        // The turnaround of a real slave: a little over the 3.5 characters of silence, at least 2 ms.
        if (!pause(std::max(2, int(std::ceil(35000.0 / std::max(1, options.baud)))))) return false;
    }
    QByteArray sent;
    for (int i = 0; i < plan.chunks.size(); ++i) {
        const auto& chunk = plan.chunks[i];
        if (chunk.delayMs > 0 && !pause(chunk.delayMs)) return false;
        sent += chunk.bytes;
        // Logged just before its last bytes go out, so a master that has the whole reply finds it
        // in the log already.
        if (i == plan.chunks.size() - 1) {
            record(false, sent, plan.note == QLatin1String("modem") ? QString() : plan.note);
            std::lock_guard lock(mutex);
            ++replies;
        }
        if (!writePaced(chunk.bytes)) break;
    }
    if (plan.closePort) {
        // Let the master take what was written: a hang-up throws away whatever it has not read.
        // The bytes reach the terminal's input queue a moment after the write: first wait for
        // them to show there, then for the master to read them.
        bool seen = sent.isEmpty();
        for (int waited = 0; waited < 1000 && slaveFd >= 0; waited += 5) {
            int pending = 0;
            if (::ioctl(slaveFd, FIONREAD, &pending) != 0) break;
            if (pending > 0) seen = true;
            if ((seen && pending == 0) || (!seen && waited >= 100)) break;
            if (!pause(5)) break;
        }
        record(false, {}, QStringLiteral("fault: closeport: the port is closed"));
        closePort();
        return false;
    }
    if (plan.dropConnection) {
        dropConnection(QStringLiteral("fault: drop: the connection is closed"));
        return false;
    }
    return true;
}

bool SimulatorThread::writePaced(const QByteArray& bytes) {
    if (!options.pacing) return writeAll(bytes.constData(), int(bytes.size()));
    // 10 bits per character; bytes go out in groups of about 2 ms, on an absolute schedule so the
    // sleeps do not add up to a slower line.
    const double charMs = 10000.0 / std::max(1, options.baud);
    const int group = std::max(1, int(2.0 / charMs));
    const qint64 t0 = nowMs();
    for (int i = 0; i < bytes.size(); i += group) {
        const int n = std::min<int>(group, int(bytes.size()) - i);
        if (!writeAll(bytes.constData() + i, n)) return false;
        const qint64 due = t0 + qint64(std::llround((i + n) * charMs));
        const qint64 wait = due - nowMs();
        if (wait > 0 && !pause(int(wait))) return false;
    }
    return true;
}

bool SimulatorThread::writeAll(const char* data, int size) {
    int done = 0;
    while (done < size && lineFd >= 0) {
        const ssize_t n = put(data + done, size - done);
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        // The other side is not reading; give it a second, then drop the rest.
        pollfd p{lineFd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0 || stopping) return false;
    }
    return done == size;
}

ssize_t SimulatorThread::put(const char* data, int size) {
    if (lineFd != clientFd) return ::write(lineFd, data, size_t(size));
    // A write to a connection the master has closed would raise SIGPIPE and end the simulator
    // without a word; it is the master gone, as a read of end-of-file is.
    const ssize_t n = ::send(lineFd, data, size_t(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) {
        dropConnection(QStringLiteral("tcp: the master closed the connection"));
        errno = EPIPE;
    }
    return n;
}

bool SimulatorThread::pause(int ms) {
    if (ms <= 0) return !stopping;
    pollfd p{wake[0], POLLIN, 0};
    QElapsedTimer t;
    t.start();
    while (!stopping) {
        const qint64 left = ms - t.elapsed();
        if (left <= 0) return true;
        // The wake pipe is only read by the loop, so a stop request stays visible here.
        if (::poll(&p, 1, int(left)) > 0) return !stopping;
    }
    return false;
}

void SimulatorThread::record(bool fromMaster, const QByteArray& frame, const QString& note) {
    std::lock_guard lock(mutex);
    LogEntry e{nowMs(), fromMaster, frame, note};
    append(e);
    if (listener) listener(e);
}

// ---------------------------------------------------------------------------------------------

Simulator::Simulator(SimOptions options) : d(std::make_unique<SimulatorThread>(std::move(options))) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(QString* error) {
    return d->start(error);
}

void Simulator::stop() {
    d->stop();
}

bool Simulator::isRunning() const {
    return d->running;
}

QString Simulator::portPath() const {
    return d->path;
}

int Simulator::tcpPort() const {
    return d->boundPort;
}

const SimOptions& Simulator::options() const {
    return d->options;
}

quint16 Simulator::holding(int address, int reg) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    return dev ? dev->holding(reg) : 0;
}

void Simulator::setHolding(int address, int reg, quint16 value) {
    std::lock_guard lock(d->mutex);
    if (auto* dev = d->slave.device(address)) dev->setHolding(reg, value);
}

float Simulator::holdingFloat(int address, int reg) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    return dev ? dev->holdingFloat(reg) : 0.0f;
}

void Simulator::setHoldingFloat(int address, int reg, float value) {
    std::lock_guard lock(d->mutex);
    if (auto* dev = d->slave.device(address)) dev->setHoldingFloat(reg, value);
}

bool Simulator::coil(int address, int coil) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    return dev && dev->coil(coil);
}

void Simulator::setCoil(int address, int coil, bool on) {
    std::lock_guard lock(d->mutex);
    if (auto* dev = d->slave.device(address)) dev->setCoil(coil, on);
}

quint32 Simulator::deviceTime(int address) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    return dev ? dev->deviceTime() : 0;
}

void Simulator::advanceClock(qint64 seconds) {
    std::lock_guard lock(d->mutex);
    for (const auto& dev : d->slave.devices())
        dev->advanceClock(seconds);
}

bool Simulator::archiveRecord(int address, int archive, quint32 time, ArchiveRecord* out) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    if (!dev || archive < 0 || archive > 2) return false;
    const auto r = dev->archiveRecord(ArchiveKind(archive), time);
    if (r && out) *out = *r;
    return r.has_value();
}

QList<JournalEntry> Simulator::journal(int address, int journal) const {
    std::lock_guard lock(d->mutex);
    auto* dev = d->slave.device(address);
    return dev ? dev->journal(DeviceModel::journalIndex(journal)) : QList<JournalEntry>{};
}

void Simulator::setFault(const FaultSpec& fault) {
    std::lock_guard lock(d->mutex);
    d->slave.setFault(fault);
}

void Simulator::clearFaults() {
    std::lock_guard lock(d->mutex);
    d->slave.clearFaults();
}

void Simulator::setModemDialResult(const QString& result) {
    std::lock_guard lock(d->mutex);
    d->options.modemDialResult = result;
    if (d->modem) d->modem->setDialResult(result);
}

bool Simulator::modemCallUp() const {
    std::lock_guard lock(d->mutex);
    return d->modem && d->modem->callUp();
}

void Simulator::setLogListener(std::function<void(const LogEntry&)> listener) {
    std::lock_guard lock(d->mutex);
    d->listener = std::move(listener);
}

QList<LogEntry> Simulator::log() const {
    std::lock_guard lock(d->mutex);
    return d->log;
}

QList<QByteArray> Simulator::requests() const {
    std::lock_guard lock(d->mutex);
    QList<QByteArray> out;
    for (const auto& e : d->log)
        if (e.fromMaster) out.append(e.frame);
    return out;
}

void Simulator::clearLog() {
    std::lock_guard lock(d->mutex);
    d->log.clear();
}

int Simulator::repliesSent() const {
    std::lock_guard lock(d->mutex);
    return d->replies;
}

} // namespace sim
