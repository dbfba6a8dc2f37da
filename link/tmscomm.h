#pragma once
// The serial control: the only class that touches QSerialPort. A port number mapped to
// "tcp://HOST:PORT" leads to a serial device server instead (TcpComm), behind the same operations.
#include "link/commcontrol.h"

#include <QObject>
#include <QSerialPort>
#include <memory>

class TcpComm;

class TMSComm : public QObject, public CommControl {
    Q_OBJECT
public:
    explicit TMSComm(QObject* parent = nullptr);
    ~TMSComm() override;

    int CommPort() const { return m_commPort; }
    // A changed port or speed while open reopens the port with the new values.
    void setCommPort(int number);
    // Overrides the port number mapping with a system name or path (the CLI's --port PATH).
    void setSystemPortName(const QString& name);
    QString systemPortName() const;

    QString Settings() const override { return m_settings; }
    void setSettings(const QString& settings);

    bool PortOpen() const override;
    bool setPortOpen(bool open, QString* error = nullptr) override;
    bool RTSEnable() const { return m_rts; }
    void setRTSEnable(bool on) override;
    bool DTREnable() const { return m_dtr; }
    void setDTREnable(bool on) override;
    void setOutput(const QByteArray& bytes) override;
    QByteArray Input() override;
    int CommEvent() const override { return m_commEvent; }
    bool ensureOpen(QString* error) override;
    QByteArray discardInput() override;

signals:
    // The port went away while open (an unplugged adapter); reported once per loss.
    void portLost(const QString& reason);

private:
    bool open(QString* error);
    void reopenIfOpen();
    void applyLines();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void closeLost(const QString& reason);
    // The device the port's name leads to now (a link's target; the name itself where it names no file).
    QString target() const;
    // The device server control when the port's name is a URL, made on first use, with the serial
    // port closed; nothing, and no such control kept, when the name is a serial port's.
    TcpComm* tcp();

    QSerialPort m_port;
    // While the port's name is a device server's URL.
    std::unique_ptr<TcpComm> m_tcp;
    int m_commPort = 1;
    QString m_systemName;
    QString m_openedTarget;
    QString m_settings = QStringLiteral("9600,n,8,1");
    bool m_rts = false;
    bool m_dtr = false;
    int m_commEvent = 0;
    bool m_settingLines = false;
};
