#include "link/tcpcomm.h"

#include "link/eventwait.h"
#include "link/logcategories.h"

#include <QUrl>

TcpComm::TcpComm(QObject* parent) : CommControl(parent) {
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpComm::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpComm::onDisconnected);
}

TcpComm::~TcpComm() {
    close();
}

bool TcpComm::isUrl(const QString& text) {
    return text.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

std::optional<TcpEndpoint> TcpComm::parseUrl(const QString& text) {
    if (!isUrl(text)) return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    const int port = url.port();
    if (!url.isValid() || url.host().isEmpty() || port < 1 || port > 65535 || !url.userInfo().isEmpty() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return TcpEndpoint{url.host(), quint16(port)};
}

void TcpComm::setUrl(const QString& url) {
    if (url == m_url) return;
    close();
    m_url = url;
    m_fruitless = 0;
}

bool TcpComm::PortOpen() const {
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool TcpComm::setPortOpen(bool open, QString* error) {
    if (!open) {
        close();
        return true;
    }
    return PortOpen() || connectNow(error);
}

bool TcpComm::ensureOpen(QString* error) {
    // A close by the server that the event loop has not seen yet shows up now; anything that came
    // with it goes to the receive event as usual.
    if (PortOpen()) m_socket.waitForReadyRead(0);
    if (PortOpen()) return true;
    QElapsedTimer trying;
    trying.start();
    for (;;) {
        if (m_sinceAttempt.isValid()) {
            const qint64 left = retryDelayMs() - m_sinceAttempt.elapsed();
            if (left > 0) eventwait::waitFor(int(left));
        }
        if (connectNow(error)) return true;
        if (trying.elapsed() + retryDelayMs() > m_retryWindowMs) return false;
    }
}

int TcpComm::retryDelayMs() const {
    if (m_fruitless == 0) return 0;
    return std::min(MaxRetryMs, FirstRetryMs << std::min(m_fruitless - 1, 10));
}

bool TcpComm::connectNow(QString* error) {
    // A server of this kind serves one connection at a time: the old one goes before a new one.
    close();
    const std::optional<TcpEndpoint> endpoint = parseUrl(m_url);
    if (!endpoint) {
        if (error) *error = QStringLiteral("%1: not tcp://HOST:PORT").arg(m_url);
        return false;
    }
    m_heard = false;
    m_socket.connectToHost(endpoint->host, endpoint->port);
    const bool made = eventwait::waitUntil(
        [this] {
            return m_socket.state() == QAbstractSocket::ConnectedState ||
                   m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        ConnectTimeoutMs);
    m_sinceAttempt.start();
    if (!made || !PortOpen()) {
        const QString reason = PortOpen() || m_socket.state() != QAbstractSocket::UnconnectedState
                                   ? QStringLiteral("no connection within %1 s").arg(ConnectTimeoutMs / 1000)
                                   : m_socket.errorString();
        close();
        ++m_fruitless;
        qCDebug(lcTcp) << m_url << "not connected:" << reason;
        if (error) *error = QStringLiteral("%1: %2").arg(m_url, reason);
        return false;
    }
    // Requests are small and each waits for its reply: no coalescing delay. Keep-alive lets a
    // connection whose server died quietly break instead of hanging on.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    return true;
}

void TcpComm::close() {
    m_closing = true;
    m_socket.abort();
    m_closing = false;
}

void TcpComm::setOutput(const QByteArray& bytes) {
    if (!PortOpen()) return;
    m_socket.write(bytes);
    m_socket.flush();
}

QByteArray TcpComm::Input() {
    return m_socket.readAll();
}

void TcpComm::onReadyRead() {
    if (m_socket.bytesAvailable() <= 0) return;
    m_heard = true;
    m_fruitless = 0;
    m_commEvent = ComEvReceive;
    emit received();
    m_commEvent = 0;
}

void TcpComm::onDisconnected() {
    if (m_closing) return;
    // A server that accepts and closes at once, again and again, must not be hammered.
    if (!m_heard) ++m_fruitless;
    m_sinceAttempt.start();
    emit linkLost(QStringLiteral("%1: the server closed the connection").arg(m_url));
}
