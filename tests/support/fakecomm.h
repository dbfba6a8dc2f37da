#pragma once
// A scripted serial control: answers each request with chunks delivered after given gaps, records
// what was sent and how the RTS line moved, and can refuse to open.
#include "link/commcontrol.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

struct Chunk {
    int afterMs; // delay after the previous chunk (or after the request for the first)
    QByteArray bytes;
};

class FakeComm : public CommControl {
public:
    QString settings = QStringLiteral("9600,n,8,1");
    bool open = false;
    bool failOpen = false;
    QList<QByteArray> sent;
    // Each event: "rts+", "rts-", "dtr+", "out", "in"
    QStringList events;
    // Replies for successive requests; a request without an entry gets silence.
    QList<QList<Chunk>> script;
    // Called for each request instead of the script when set.
    std::function<QList<Chunk>(const QByteArray&)> responder;

    QString Settings() const override { return settings; }
    bool PortOpen() const override { return open; }
    bool setPortOpen(bool o, QString* error) override {
        if (o && failOpen) {
            if (error)
                *error = QStringLiteral("fake: no such port");
            return false;
        }
        open = o;
        return true;
    }
    void setRTSEnable(bool on) override { events << (on ? "rts+" : "rts-"); }
    void setDTREnable(bool on) override { events << (on ? "dtr+" : "dtr-"); }
    void setOutput(const QByteArray& bytes) override {
        sent << bytes;
        events << "out";
        QList<Chunk> chunks;
        if (responder)
            chunks = responder(bytes);
        else if (!script.isEmpty())
            chunks = script.takeFirst();
        deliver(chunks);
    }
    QByteArray Input() override {
        QByteArray out = pending;
        pending.clear();
        return out;
    }
    int CommEvent() const override { return event; }

    // Delivers bytes as a receive event right now (late bytes, noise).
    void receiveNow(const QByteArray& bytes) {
        pending += bytes;
        events << "in";
        event = ComEvReceive;
        if (OnComm)
            OnComm();
        event = 0;
    }

private:
    void deliver(const QList<Chunk>& chunks) {
        int at = 0;
        for (const Chunk& c : chunks) {
            at += c.afterMs;
            QTimer::singleShot(at, Qt::PreciseTimer, &context, [this, b = c.bytes] { receiveNow(b); });
        }
    }
    QObject context; // owns pending deliveries: they die with the fake
    QByteArray pending;
    int event = 0;
};
