#pragma once
// The serial control: the only class that touches QSerialPort.
#include "link/commcontrol.h"

#include <QSerialPort>

class TMSComm : public CommControl {
    Q_OBJECT
  public:
    explicit TMSComm(QObject* parent = nullptr);
    ~TMSComm() override;

    // The system name or path of the port. A changed name or speed while open reopens the port
    // with the new values.
    void setPortName(const QString& name);
    QString portName() const { return m_name; }

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
    void setReceiveThreshold(int bytes) override;
    bool dropReceiveThreshold() override;

  private:
    bool open(QString* error);
    void reopenIfOpen();
    void applyLines();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void closeLost(const QString& reason);
    // Why the port did not open, in words that point at the cause.
    QString openError() const;
    // The device the port's name leads to now (a link's target; the name itself where it names no file).
    QString target() const;
    QSerialPort m_port;
    QString m_name;
    QString m_openedTarget;
    QString m_settings = QStringLiteral("9600,n,8,1");
    bool m_rts = false;
    bool m_dtr = false;
    int m_commEvent = 0;
    bool m_settingLines = false;
    // The terminal's VMIN as last set; QSerialPort sets its own (which acts as 1) whenever it
    // applies settings.
    int m_threshold = 1;
};
