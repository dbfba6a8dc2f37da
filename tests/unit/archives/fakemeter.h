#pragma once
// A meter behind the readers' request function: archive records by period, journal entries by
// number, and scripted failures. Replies are built from the record format, never by the readers.
#include "archives/archivereading.h"
#include "device/encodings.h"
#include "device/records.h"
#include "link/crc16.h"

#include <QMap>
#include <QSet>
#include <functional>

struct FakeMeter {
    explicit FakeMeter(archives::Kind kind = archives::Kind::Hour) : kind(kind) {}
    archives::Kind kind;
    QMap<QDateTime, ArchiveRecord> records; // by the start of their period
    QList<JournalEntry> entries;            // by record number
    QSet<int> silentAt;                     // requests (from 0) that get no reply
    // Changes a reply's data bytes before the CRC (damaged records, short replies).
    std::function<void(int request, QByteArray& data)> tamper;
    QList<archives::Request> sent;

    archives::RequestFn fn() {
        return [this](const archives::Request& r) { return answer(r); };
    }

    QDateTime periodStart(const QDateTime& t, int step) const {
        const QDate d = t.date();
        switch (kind) {
        case archives::Kind::Hour:
            return QDateTime(d, QTime(t.time().hour(), 0), Qt::UTC).addSecs(3600 * step);
        case archives::Kind::Day:
            return QDateTime(d.addDays(step), QTime(0, 0), Qt::UTC);
        case archives::Kind::Month:
            return QDateTime(QDate(d.year(), d.month(), 1).addMonths(step), QTime(0, 0), Qt::UTC);
        }
        return {};
    }

    std::optional<QByteArray> answer(const archives::Request& r) {
        const int index = int(sent.size());
        sent.append(r);
        if (silentAt.contains(index)) return std::nullopt;
        QByteArray data;
        for (int i = 0; i < r.count; ++i) {
            if (r.mode == 0)
                data += records::encodeJournalEntry(entries.value(r.record + i));
            else
                data += records::encodeArchiveRecord(records.value(periodStart(r.date, i)));
        }
        if (tamper) tamper(index, data);
        QByteArray frame("\x01\x41", 2);
        frame += char(data.size());
        return crc16::appended(frame + data);
    }
};

inline QDateTime at(const char* text) {
    return *enc::parseDateTime(QString::fromLatin1(text));
}

// Channel 2 holds ten times channel 1's counters, so a test sees which channel a row shows.
inline ArchiveRecord record(const char* time, float plus, float minus, std::uint32_t downtime) {
    ArchiveRecord r;
    r.time = enc::DateToSec(at(time));
    r.volume[0][0] = plus;
    r.volume[0][1] = minus;
    r.volume[1][0] = plus * 10;
    r.volume[1][1] = minus * 10;
    r.downtime[0] = downtime;
    r.downtime[1] = downtime * 2;
    return r;
}
