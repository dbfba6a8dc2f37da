#pragma once
// The port as the operator names it (a number, a path, or a device server's "tcp://HOST:PORT") with
// its settings. The name decides which control speaks on it, here and nowhere else; a name changed
// later switches the control, and the engine then talks to the new one. The controls live in the
// thread of the line that drives them; every call here is carried out there.
#include "link/commcontrol.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class TMSComm;
class TcpComm;

class LinkPort : public QObject {
    Q_OBJECT
  public:
    // line: the object whose thread the controls live in (the engine's link thread); nullptr: this
    // port's own thread.
    explicit LinkPort(QObject* line = nullptr, QObject* parent = nullptr);
    ~LinkPort() override;

    int CommPort() const { return m_commPort; }
    // A changed port or speed while open reopens the port with the new values.
    void setCommPort(int number);
    // Overrides the port number mapping with a system name, a path or a URL (the CLI's --port).
    void setSystemPortName(const QString& name);
    QString systemPortName() const;
    // Takes up a new mapping of the port's number (the adapter moved to another path while the
    // port was closed); the engine calls it before each exchange.
    void followMapping();

    QString Settings() const { return m_settings; }
    void setSettings(const QString& settings);
    // How long an open goes on trying a device server that refuses; a serial port is tried once.
    void setRetryWindowMs(int ms);

    bool PortOpen() const;
    bool setPortOpen(bool open, QString* error = nullptr);
    // The modem's lines, set by the window before dialling.
    void setRTSEnable(bool on);
    void setDTREnable(bool on);

    // The control the name chose: TMSComm for a serial port, TcpComm for a device server. It
    // belongs to the line's thread.
    CommControl& control() const;

  signals:
    // Another kind of control took the old one's place, in the line's thread; the old one is gone.
    void controlChanged();
    // The port or connection went away while open; reported once per loss.
    void portLost(const QString& reason);

  private:
    void choose();
    // Runs fn in the controls' thread and waits for it.
    void onLine(const std::function<void()>& fn) const;

    QObject* m_line;
    // Exactly one of them lives.
    std::unique_ptr<TMSComm> m_serial;
    std::unique_ptr<TcpComm> m_tcp;
    int m_commPort = 1;
    QString m_systemName;
    QString m_settings = QStringLiteral("9600,n,8,1");
    int m_retryWindowMs = 0;
};
