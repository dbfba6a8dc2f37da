#pragma once
// The slice of a serial port that the ModBus engine uses; a scripted fake replaces it in tests.
#include <QByteArray>
#include <QString>
#include <functional>

class CommControl {
public:
    // CommEvent value meaning "received bytes are waiting".
    static constexpr int ComEvReceive = 2;

    virtual ~CommControl() = default;

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

    // Raised on the UI thread, from inside event processing, whenever received bytes are waiting.
    std::function<void()> OnComm;
};
