#pragma once
// The fault, operator and abnormal-situation journals, read whole by record number, one row per
// recorded event with its texts from the journal's code table.
#include "archives/reading.h"
#include "device/records.h"

#include <QString>

namespace archives {

constexpr int EntriesPerRequest = 25;

// Entries a journal holds: 32 faults, 64 operator actions, 128 abnormal situations per channel.
int journalSize(int archiveNumber);
int journalRequests(int archiveNumber);
QStringList journalHeader(int archiveNumber);

struct EventText {
    QString name;        // column 0
    QString description; // column 3
};
// Codes a journal has no text for get empty texts. twoChannelMode: the meter's channels work
// apart, so the second beam of channel 1 does not exist.
EventText eventText(int archiveNumber, int code, bool twoChannelMode);

// The grid's row for an entry: its texts and its times ("Нет данных" for an unknown start,
// "Продолжается" for an event still going on).
QStringList journalRow(int archiveNumber, const JournalEntry& entry, bool twoChannelMode);

// entries: when given, also the accepted entries themselves, in the order of the rows.
Reading readJournal(int archiveNumber, bool twoChannelMode, const RequestFn& request,
                    const ProgressFn& progress = {}, QList<JournalEntry>* entries = nullptr);

} // namespace archives
