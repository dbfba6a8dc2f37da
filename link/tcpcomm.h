#pragma once
// The line reached through a serial device server: the same RTU frames (address, PDU, CRC), with
// no header of any kind, over one TCP connection at a time ("tcp://HOST:PORT").
#include "link/commcontrol.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <optional>

struct TcpEndpoint {
    QString host;
    quint16 port = 0;
};

class TcpComm : public CommControl {
    Q_OBJECT
  public:
    // How long a connection may take to be made, host name lookup included.
    static constexpr int ConnectTimeoutMs = 3000;
    // After a connection that failed or ended before anything came, the next waits this long,
    // twice as long after each further one, up to MaxRetryMs.
    static constexpr int FirstRetryMs = 250;
    static constexpr int MaxRetryMs = 5000;

    explicit TcpComm(QObject* parent = nullptr);
    ~TcpComm() override;

    static bool isUrl(const QString& text);
    // "tcp://HOST:PORT" (an IPv6 address in brackets); nothing for anything else.
    static std::optional<TcpEndpoint> parseUrl(const QString& text);

    // A server other than the one connected to closes the connection.
    void setUrl(const QString& url);
    QString url() const { return m_url; }

    // Over TCP the speed only paces the engine's timing.
    QString Settings() const override { return m_settings; }
    void setSettings(const QString& settings) { m_settings = settings; }

    bool PortOpen() const override;
    bool setPortOpen(bool open, QString* error = nullptr) override;
    void setRTSEnable(bool) override {}
    void setDTREnable(bool) override {}
    void setOutput(const QByteArray& bytes) override;
    QByteArray Input() override;
    int CommEvent() const override { return m_commEvent; }
    // Connects again when the server has closed the connection, after the retry delay; with a
    // retry window, keeps trying until the next attempt would start past it.
    bool ensureOpen(QString* error) override;

    // How long an open goes on trying, with the growing delay, a server that refuses or cannot be
    // reached. 0, the monitor's: one attempt per open, as its next poll is the next attempt; a
    // one-shot program that has nothing else to try with gives it ConnectTimeoutMs.
    void setRetryWindowMs(int ms) { m_retryWindowMs = ms; }

    // The wait before the next attempt to connect, counted from the end of the last one.
    int retryDelayMs() const;

  private:
    bool connectNow(QString* error);
    void close();
    void onReadyRead();
    void onDisconnected();

    QTcpSocket m_socket;
    QString m_url;
    QString m_settings = QStringLiteral("9600,n,8,1");
    int m_commEvent = 0;
    // Attempts in a row that failed, or whose connection ended before the server sent anything.
    int m_fruitless = 0;
    int m_retryWindowMs = 0;
    bool m_heard = false;
    bool m_closing = false;
    QElapsedTimer m_sinceAttempt;
};
