#pragma once
// A scripted serial control: answers each request with chunks delivered after given gaps, records
// what was sent and how the RTS line moved, and can refuse to open. Like a driver's queue, a chunk
// whose time has come is there to be thrown away even before its receive event has run.
#include "link/commcontrol.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

struct Chunk {
    int afterMs; // delay after the previous chunk (or after the request for the first); < 0: at
                 // once, inside the write, like a line faster than the program
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
            if (error) *error = QStringLiteral("fake: no such port");
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
    QByteArray discardInput() override {
        QByteArray out = Input();
        for (const auto& d : scheduled) {
            if (!d->done && d->due.hasExpired()) {
                out += d->bytes;
                d->done = true;
                d->timer.stop();
            }
        }
        return out;
    }

    // Bytes that reach the driver's queue now; their receive event runs when events are next processed.
    void arrive(const QByteArray& bytes) { schedule(0, bytes); }
    // The far end goes away (an unplugged adapter, a connection closed by the server).
    void loseLink() {
        open = false;
        events << "lost";
        emit linkLost(QStringLiteral("fake: link lost"));
    }
    // Delivers bytes as a receive event right now (late bytes, noise).
    void receiveNow(const QByteArray& bytes) {
        pending += bytes;
        events << "in";
        event = ComEvReceive;
        emit received();
        event = 0;
    }

  private:
    struct Delivery {
        QDeadlineTimer due;
        QByteArray bytes;
        QTimer timer;
        bool done = false; // arrived or thrown away
    };
    void deliver(const QList<Chunk>& chunks) {
        int at = 0;
        for (const Chunk& c : chunks) {
            if (c.afterMs < 0) {
                receiveNow(c.bytes);
                continue;
            }
            at += c.afterMs;
            schedule(at, c.bytes);
        }
    }
    void schedule(int atMs, const QByteArray& bytes) {
        scheduled.removeIf([](const auto& p) { return p->done; });
        auto d = std::make_shared<Delivery>();
        d->due = QDeadlineTimer(atMs, Qt::PreciseTimer);
        d->bytes = bytes;
        d->timer.setSingleShot(true);
        d->timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&d->timer, &QTimer::timeout, [this, raw = d.get()] {
            raw->done = true;
            receiveNow(raw->bytes);
        });
        d->timer.start(atMs);
        scheduled.append(d);
    }
    QList<std::shared_ptr<Delivery>> scheduled; // pending deliveries: they die with the fake
    QByteArray pending;
    int event = 0;
};
