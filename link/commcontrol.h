#pragma once
// The slice of a serial port that the ModBus engine uses; a scripted fake replaces it in tests.
// The line's timing belongs here too: only the control knows what its line's speed means.
#include <QByteArray>
#include <QObject>
#include <QString>

class CommControl : public QObject {
    Q_OBJECT
  public:
    // CommEvent value meaning "received bytes are waiting".
    static constexpr int ComEvReceive = 2;

    explicit CommControl(QObject* parent = nullptr) : QObject(parent) {}
    ~CommControl() override = default;

    virtual QString Settings() const = 0;
    virtual bool PortOpen() const = 0;
    // Opening may fail; the reason goes to *error and false comes back.
    virtual bool setPortOpen(bool open, QString* error = nullptr) = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual void setDTREnable(bool on) = 0;
    virtual void setOutput(const QByteArray& bytes) = 0;
    virtual QByteArray Input() = 0;
    virtual int CommEvent() const = 0;

    // Readies the port for an exchange: opens it when it is closed, and closes and opens it again,
    // once, when its far end went away since it was opened (a hang-up, the path now naming another
    // device). False, with the reason in *error, when it cannot be opened.
    virtual bool ensureOpen(QString* error) { return PortOpen() || setPortOpen(true, error); }
    // Throws away whatever has arrived and not been read, the driver's queue included; gives back
    // the bytes that could still be seen.
    virtual QByteArray discardInput() { return Input(); }
    // How many bytes must wait before the receive event is raised: the bytes a reply still lacks,
    // so that a line paced a byte at a time wakes the program once for the rest of the frame
    // instead of once for each byte. 1 raises it for every byte; a control that cannot hold bytes
    // back ignores it.
    virtual void setReceiveThreshold(int bytes) { (void)bytes; }
    // Back to 1. True when fewer bytes than the old threshold were waiting: they come as a receive
    // event next.
    virtual bool dropReceiveThreshold() { return false; }

    // How long the given number of bits takes on the line, in whole microseconds rounded up. A
    // line whose settings name no speed (a device server's, say) is taken as the slowest the
    // settings dialog offers, which only makes waits longer.
    virtual qint64 bitsTimeUs(qint64 bits) const;
    // The same in whole milliseconds, rounded up.
    int bitsTimeMs(qint64 bits) const;
    // How long an RS-485 converter switched by RTS must keep the line for a request of this many
    // bytes: 8 bits a byte (start and stop bits not counted), at least 1 ms.
    virtual int rtsHoldMs(int byteCount) const;

    static constexpr int SlowestSpeed = 300;

  signals:
    // Received bytes are waiting (CommEvent() says ComEvReceive while it is raised). Raised in the
    // control's own thread, from inside its event processing: the engine's line, which reads them,
    // listens directly.
    void received();
    // The port or the connection went away while open (an unplugged adapter, a device server that
    // closed the connection); raised once per loss.
    void linkLost(const QString& reason);
};
