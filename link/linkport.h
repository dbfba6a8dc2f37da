#pragma once
// The port as the operator names it (a number, a path, or a device server's "tcp://HOST:PORT") with
// its settings. The name decides which control speaks on it, here and nowhere else; a name changed
// later switches the control, and the engine then talks to the new one.
#include "link/commcontrol.h"

#include <QObject>
#include <QString>
#include <memory>

class TMSComm;
class TcpComm;

class LinkPort : public QObject {
    Q_OBJECT
  public:
    explicit LinkPort(QObject* parent = nullptr);
    ~LinkPort() override;

    int CommPort() const { return m_commPort; }
    // A changed port or speed while open reopens the port with the new values.
    void setCommPort(int number);
    // Overrides the port number mapping with a system name, a path or a URL (the CLI's --port).
    void setSystemPortName(const QString& name);
    QString systemPortName() const;
    // Takes up a new mapping of the port's number (the adapter moved to another path while the
    // port was closed); the engine calls it before each exchange.
    void followMapping() { choose(); }

    QString Settings() const { return m_settings; }
    void setSettings(const QString& settings);
    // How long an open goes on trying a device server that refuses; a serial port is tried once.
    void setRetryWindowMs(int ms);

    bool PortOpen() const { return control().PortOpen(); }
    // The control the name chose: TMSComm for a serial port, TcpComm for a device server.
    CommControl& control() const;

  signals:
    // Another kind of control took the old one's place; the old one is gone.
    void controlChanged();
    // The port or connection went away while open; reported once per loss.
    void portLost(const QString& reason);

  private:
    void choose();

    // Exactly one of them lives.
    std::unique_ptr<TMSComm> m_serial;
    std::unique_ptr<TcpComm> m_tcp;
    int m_commPort = 1;
    QString m_systemName;
    QString m_settings = QStringLiteral("9600,n,8,1");
    int m_retryWindowMs = 0;
};
