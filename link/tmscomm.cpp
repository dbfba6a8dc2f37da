#include "link/tmscomm.h"

#include "link/linespeed.h"
#include "link/logcategories.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
// The receive threshold is the terminal driver's VMIN; elsewhere the port reports every byte.
#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

TMSComm::TMSComm(QObject* parent) : CommControl(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, &TMSComm::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &TMSComm::onError);
}

TMSComm::~TMSComm() {
    m_port.close();
}

void TMSComm::setPortName(const QString& name) {
    if (name == m_name) return;
    m_name = name;
    reopenIfOpen();
}

void TMSComm::setSettings(const QString& settings) {
    if (settings == m_settings) return;
    m_settings = settings;
    if (m_port.isOpen()) {
        const int speed = linespeed::of(m_settings);
        if (speed > 0) m_port.setBaudRate(speed);
        m_threshold = 1;
    }
}

bool TMSComm::PortOpen() const {
    return m_port.isOpen();
}

bool TMSComm::setPortOpen(bool open, QString* error) {
    if (!open) {
        m_port.close();
        return true;
    }
    if (PortOpen()) return true;
    return this->open(error);
}

bool TMSComm::open(QString* error) {
    m_port.setPortName(m_name);
    const int speed = linespeed::of(m_settings);
    m_port.setBaudRate(speed > 0 ? speed : 9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        if (error) *error = QStringLiteral("%1: %2").arg(m_name, openError());
        m_port.clearError();
        return false;
    }
    m_openedTarget = target();
    m_threshold = 1;
    applyLines();
    return true;
}

QString TMSComm::openError() const {
    // Another program holding the port shows as its lock file or as the device being busy; the
    // toolkit words both as a permission error, which sends a person looking at the wrong thing.
    if (m_port.error() == QSerialPort::PermissionError &&
        (m_port.errorString().contains(QLatin1String("locking the device")) ||
         m_port.errorString() == qt_error_string(EBUSY)))
        return QStringLiteral("the line is in use by another program");
    return m_port.errorString();
}

QString TMSComm::target() const {
    const QString canonical = QFileInfo(m_name).canonicalFilePath();
    return canonical.isEmpty() ? m_name : canonical;
}

bool TMSComm::ensureOpen(QString* error) {
    if (m_port.isOpen()) {
        // A hang-up the event loop has not seen yet shows up now, as an error that closes the port;
        // anything received meanwhile goes to the receive event as usual.
        m_port.waitForReadyRead(0);
    }
    // A restarted simulator or device server, or an adapter plugged in again under a link that
    // now points elsewhere: the open descriptor still leads to the old, dead device.
    if (m_port.isOpen() && target() != m_openedTarget)
        closeLost(QStringLiteral("%1 now leads to %2").arg(m_name, target()));
    return m_port.isOpen() || open(error);
}

QByteArray TMSComm::discardInput() {
    if (!m_port.isOpen()) return {};
    QByteArray seen = m_port.readAll();
    m_port.clear(QSerialPort::Input);
    return seen;
}

void TMSComm::setReceiveThreshold(int bytes) {
#ifdef Q_OS_UNIX
    // With VTIME 0 the terminal driver tells a poll of input only once VMIN bytes wait; the port
    // reads without blocking, so reads themselves do not change.
    const int vmin = std::clamp(bytes, 1, 255);
    if (vmin == m_threshold || !m_port.isOpen()) return;
    const int fd = int(m_port.handle());
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    t.c_cc[VMIN] = cc_t(vmin);
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) == 0) m_threshold = vmin;
#else
    // Each arrival raises its event, as without a threshold: only the link thread wakes more often.
    (void)bytes;
#endif
}

bool TMSComm::dropReceiveThreshold() {
    if (m_threshold == 1) return false;
#ifdef Q_OS_UNIX
    setReceiveThreshold(1);
    int waiting = 0;
    return m_port.isOpen() && ::ioctl(int(m_port.handle()), FIONREAD, &waiting) == 0 && waiting > 0;
#else
    return false;
#endif
}

void TMSComm::reopenIfOpen() {
    if (!PortOpen()) return;
    setPortOpen(false);
    open(nullptr);
}

// A pseudo-terminal or a three-wire adapter cannot drive RTS/DTR; the transaction must go on.
void TMSComm::applyLines() {
    m_settingLines = true;
    const bool rts = m_port.setRequestToSend(m_rts);
    const bool dtr = m_port.setDataTerminalReady(m_dtr);
    if (!rts || !dtr)
        qCDebug(lcSerial) << m_port.portName() << "does not drive RTS/DTR:" << m_port.errorString();
    m_port.clearError();
    m_settingLines = false;
}

void TMSComm::setRTSEnable(bool on) {
    m_rts = on;
    if (m_port.isOpen()) applyLines();
}

void TMSComm::setDTREnable(bool on) {
    m_dtr = on;
    if (m_port.isOpen()) applyLines();
}

void TMSComm::setOutput(const QByteArray& bytes) {
    if (!m_port.isOpen()) return;
    m_port.write(bytes);
    // The engine waits by processing events; pushing the bytes now keeps the request's timing
    // independent of when the event loop next gets to the write notifier.
    m_port.flush();
}

QByteArray TMSComm::Input() {
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void TMSComm::onReadyRead() {
    m_commEvent = ComEvReceive;
    emit received();
    m_commEvent = 0;
}

void TMSComm::onError(QSerialPort::SerialPortError error) {
    // Errors of a failed open are reported by open() itself; line control errors are expected.
    if (error == QSerialPort::NoError || m_settingLines || !m_port.isOpen()) return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::DeviceNotFoundError:
    // A terminal whose far end hung up reads end-of-file, which comes as a read error, again and
    // again for as long as the port stays open.
    case QSerialPort::ReadError:
    case QSerialPort::WriteError: {
        // The device is gone: close now so the next exchange opens it again.
        const QString reason = m_port.errorString();
        m_port.clearError();
        closeLost(reason);
        return;
    }
    default:
        qCDebug(lcSerial) << m_port.portName() << "error passed over:" << error << m_port.errorString();
        m_port.clearError();
    }
}

void TMSComm::closeLost(const QString& reason) {
    if (!m_port.isOpen()) return;
    qCDebug(lcSerial) << "closed, to be opened again before the next exchange:" << reason;
    m_port.close();
    emit linkLost(reason);
}
