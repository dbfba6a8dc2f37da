#include "link/linkport.h"

#include "link/portmap.h"
#include "link/tcpcomm.h"
#include "link/tmscomm.h"

#include <QThread>

LinkPort::LinkPort(QObject* line, QObject* parent) : QObject(parent), m_line(line ? line : this) {
    onLine([this] { choose(); });
}

LinkPort::~LinkPort() {
    onLine([this] {
        m_serial.reset();
        m_tcp.reset();
    });
}

void LinkPort::onLine(const std::function<void()>& fn) const {
    if (m_line->thread() == QThread::currentThread())
        fn();
    else
        QMetaObject::invokeMethod(m_line, fn, Qt::BlockingQueuedConnection);
}

void LinkPort::setCommPort(int number) {
    if (number == m_commPort && m_systemName.isEmpty()) return;
    m_commPort = number;
    m_systemName.clear();
    onLine([this] { choose(); });
}

void LinkPort::setSystemPortName(const QString& name) {
    m_systemName = name;
    onLine([this] { choose(); });
}

QString LinkPort::systemPortName() const {
    return m_systemName.isEmpty() ? PortMap::systemPort(m_commPort) : m_systemName;
}

void LinkPort::followMapping() {
    onLine([this] { choose(); });
}

void LinkPort::setSettings(const QString& settings) {
    m_settings = settings;
    onLine([this, settings] {
        if (m_serial) m_serial->setSettings(settings);
        if (m_tcp) m_tcp->setSettings(settings);
    });
}

void LinkPort::setRetryWindowMs(int ms) {
    m_retryWindowMs = ms;
    onLine([this, ms] {
        if (m_tcp) m_tcp->setRetryWindowMs(ms);
    });
}

bool LinkPort::PortOpen() const {
    bool open = false;
    onLine([this, &open] { open = control().PortOpen(); });
    return open;
}

bool LinkPort::setPortOpen(bool open, QString* error) {
    bool done = false;
    onLine([&] { done = control().setPortOpen(open, error); });
    return done;
}

void LinkPort::setRTSEnable(bool on) {
    onLine([this, on] { control().setRTSEnable(on); });
}

void LinkPort::setDTREnable(bool on) {
    onLine([this, on] { control().setDTREnable(on); });
}

CommControl& LinkPort::control() const {
    if (m_tcp) return *m_tcp;
    return *m_serial;
}

void LinkPort::choose() {
    const QString name = systemPortName();
    const bool server = TcpComm::isUrl(name);
    if (server ? bool(m_tcp) : bool(m_serial)) {
        // The same kind of line under another name: the control moves over by itself.
        if (m_tcp)
            m_tcp->setUrl(name);
        else
            m_serial->setPortName(name);
        return;
    }
    // A port that was open stays open across the change, as it does for a new name of the same kind.
    const bool wasOpen = (m_serial || m_tcp) && control().PortOpen();
    m_serial.reset();
    m_tcp.reset();
    if (server) {
        m_tcp = std::make_unique<TcpComm>();
        m_tcp->setUrl(name);
        m_tcp->setSettings(m_settings);
        m_tcp->setRetryWindowMs(m_retryWindowMs);
    } else {
        m_serial = std::make_unique<TMSComm>();
        m_serial->setPortName(name);
        m_serial->setSettings(m_settings);
    }
    connect(&control(), &CommControl::linkLost, this, &LinkPort::portLost);
    emit controlChanged();
    if (wasOpen) control().setPortOpen(true);
}
