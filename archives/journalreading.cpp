#include "archives/journalreading.h"

#include "device/encodings.h"
#include "device/records.h"

#include <algorithm>

namespace archives {

namespace {

enum Journal { Faults = 3, Operator = 4, Abnormal = 5 };

struct EventRow {
    int journal;
    int code;
    const char* name;
    const char* description;
    const char* twoChannelName = nullptr; // the name in two-channel mode, where it differs
    bool twoBeamOnly = false;             // no texts at all in two-channel mode
};

constexpr const char* NoSignal = "Нет прохождения ультразвукового сигнала по акустическому тракту";

constexpr EventRow EventRows[] = {
    {.journal = Faults, .code = 1, .name = "Отказ 1", .description = "Ошибка часов"},
    {.journal = Faults, .code = 2, .name = "Отказ 2", .description = "Нет прерывания часов"},
    {.journal = Faults, .code = 3, .name = "Отказ 3", .description = "Данные часов некорректны"},
    {.journal = Faults, .code = 4, .name = "Отказ 4", .description = "Ошибка импульсного генератора"},
    {.journal = Faults, .code = 5, .name = "Отказ 5", .description = "Нет прерывания от БПГС канала 1"},
    {.journal = Faults, .code = 6, .name = "Отказ 6", .description = "Нет прерывания от БПГС канала 2"},
    {.journal = Faults, .code = 7, .name = "Отказ 7", .description = "Отказ ОЗУ"},
    {.journal = Operator,
     .code = 1,
     .name = "Корректировка часов",
     .description = "Произведено изменение даты и времени"},
    {.journal = Operator,
     .code = 2,
     .name = "Корректировка данных",
     .description = "Линия разрешения записи параметров разблокирована"},
    {.journal = Abnormal,
     .code = 1,
     .name = "Fимп. вых > Fнаиб.",
     .description = "Частота следования импульсов превысила максимальное значение"},
    {.journal = Abnormal,
     .code = 2,
     .name = "Q > Qнаиб.",
     .description = "Расход превысил максимальное допустимое значение"},
    {.journal = Abnormal,
     .code = 3,
     .name = "Параметры некорректны",
     .description = "Недопустимое значение параметра"},
    {.journal = Abnormal,
     .code = 4,
     .name = "Нет УЗС в 1-ом луче",
     .description = NoSignal,
     .twoChannelName = "Нет УЗС"},
    {.journal = Abnormal,
     .code = 5,
     .name = "Q > Qверх. уст.",
     .description = "Расход превысил верхнюю уставку"},
    {.journal = Abnormal,
     .code = 6,
     .name = "Q < Qниж. уст.",
     .description = "Расход опустился ниже нижней уставки"},
    {.journal = Abnormal,
     .code = 7,
     .name = "Нет УЗС во 2-ом луче",
     .description = NoSignal,
     .twoBeamOnly = true},
    {.journal = Abnormal,
     .code = 8,
     .name = "Нет УЗС в обоих лучах",
     .description = NoSignal,
     .twoBeamOnly = true},
    {.journal = Abnormal, .code = 16, .name = "Нет питания", .description = "Выключено питание прибора"},
};

int tableOf(int archiveNumber) {
    return archiveNumber == 6 ? Abnormal : archiveNumber;
}

QString timeText(std::uint32_t time, const QString& whenZero) {
    return time == 0 ? whenZero : enc::formatDateTime(enc::SecToDate(time));
}

} // namespace

int journalSize(int archiveNumber) {
    switch (tableOf(archiveNumber)) {
    case Faults:
        return 32;
    case Operator:
        return 64;
    case Abnormal:
        return 128;
    }
    return 0;
}

int journalRequests(int archiveNumber) {
    return (journalSize(archiveNumber) + EntriesPerRequest - 1) / EntriesPerRequest;
}

QStringList journalHeader(int archiveNumber) {
    QString events, descriptions;
    switch (tableOf(archiveNumber)) {
    case Faults:
        events = QStringLiteral("               Отказы");
        descriptions = QStringLiteral("                              Описание отказов");
        break;
    case Operator:
        events = QStringLiteral("   Действия оператора");
        descriptions = QStringLiteral("                   Описание действий оператора");
        break;
    case Abnormal:
        events = QStringLiteral("   Нештатные ситуации");
        descriptions = QStringLiteral("                   Описание нештатных ситуаций");
        break;
    }
    return {events, QStringLiteral("   Дата и время начала"), QStringLiteral("Дата и время окончания"),
            descriptions};
}

EventText eventText(int archiveNumber, int code, bool twoChannelMode) {
    const int journal = tableOf(archiveNumber);
    for (const EventRow& row : EventRows) {
        if (row.journal != journal || row.code != code) continue;
        if (twoChannelMode && row.twoBeamOnly) return {};
        const char* name = twoChannelMode && row.twoChannelName ? row.twoChannelName : row.name;
        return {QString::fromUtf8(name), QString::fromUtf8(row.description)};
    }
    return {};
}

QStringList journalRow(int archiveNumber, const JournalEntry& e, bool twoChannelMode) {
    const EventText text = eventText(archiveNumber, e.code, twoChannelMode);
    return {text.name, timeText(e.start, QStringLiteral("Нет данных")),
            timeText(e.end, QStringLiteral("Продолжается")), text.description};
}

Reading readJournal(int archiveNumber, bool twoChannelMode, const RequestFn& request,
                    const ProgressFn& progress, QList<JournalEntry>* entries) {
    Reading reading;
    reading.header = journalHeader(archiveNumber);
    const int total = journalSize(archiveNumber);
    reading.planned = total;
    Requests requests(request, progress, journalRequests(archiveNumber), reading);
    for (int first = 0; first < total; first += EntriesPerRequest) {
        const int count = std::min(EntriesPerRequest, total - first);
        const std::optional<QByteArray> reply =
            requests({.archive = archiveNumber, .count = count, .mode = 0, .date = {}, .record = first});
        if (!reply) return reading;
        // Only what the reply holds is decoded: a short reply gives fewer entries, never stale ones.
        for (const JournalEntry& e : records::journalEntries(*reply, count)) {
            // Both times 0: a slot the meter has not written yet.
            if (!e.checkOk || (e.start == 0 && e.end == 0)) continue;
            reading.rows.append(journalRow(archiveNumber, e, twoChannelMode));
            if (entries) entries->append(e);
        }
        reading.done = first + count;
    }
    return reading;
}

} // namespace archives
