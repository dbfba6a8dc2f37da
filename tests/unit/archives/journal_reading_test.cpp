// The journal reader against a scripted meter: its request blocks, which entries become rows, and
// the texts of the event codes.
#include "archives/journalreading.h"
#include "fakemeter.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t t(const char* text) {
    return enc::DateToSec(at(text));
}

TEST(JournalPlan, WholeJournalsInBlocksOf25) {
    const QList<QList<int>> blocks[] = {{{0, 25}, {25, 7}},
                                        {{0, 25}, {25, 25}, {50, 14}},
                                        {{0, 25}, {25, 25}, {50, 25}, {75, 25}, {100, 25}, {125, 3}},
                                        {{0, 25}, {25, 25}, {50, 25}, {75, 25}, {100, 25}, {125, 3}}};
    for (int archive = 3; archive <= 6; ++archive) {
        FakeMeter meter;
        archives::readJournal(archive, false, meter.fn());
        QList<QList<int>> sent;
        for (const archives::Request& r : meter.sent) {
            EXPECT_EQ(r.archive, archive);
            EXPECT_EQ(r.mode, 0);
            sent.append({r.record, r.count});
        }
        EXPECT_EQ(sent, blocks[archive - 3]) << archive;
    }
}

TEST(JournalRows, OnlyRecordedEntriesWithAGoodCheckByteBecomeRows) {
    FakeMeter meter;
    meter.entries = {
        {.code = 1, .start = t("01.03.2024 10:00:00"), .end = t("01.03.2024 10:05:30")},
        {.code = 2, .start = 0, .end = 0},                        // never written
        {.code = 3, .start = 0, .end = t("02.03.2024 08:00:00")}, // the meter lost its clock
        {.code = 4, .start = t("03.03.2024 12:00:00"), .end = 0}, // still going on
        {.code = 5, .start = 1, .end = 2},                        // damaged below
        {.code = 0, .start = 5, .end = 6},
        {.code = 17, .start = 5, .end = 6},
    };
    meter.entries += QList<JournalEntry>(25, JournalEntry{}); // the rest of the first block is empty
    meter.entries[30] = {.code = 7, .start = 7, .end = 8};    // past a short second reply
    meter.tamper = [](int request, QByteArray& data) {
        if (request == 0)
            data[4 * records::JournalEntrySize + 9] = char(data[4 * records::JournalEntrySize + 9] ^ 1);
        if (request == 1) data.truncate(3 * records::JournalEntrySize);
    };
    const archives::Reading reading = archives::readJournal(3, false, meter.fn());
    EXPECT_EQ(reading.header,
              (QStringList{"               Отказы", "   Дата и время начала", "Дата и время окончания",
                           "                              Описание отказов"}));
    EXPECT_EQ(reading.rows,
              (QList<QStringList>{
                  {"Отказ 1", "01.03.2024 10:00:00", "01.03.2024 10:05:30", "Ошибка часов"},
                  {"Отказ 3", "Нет данных", "02.03.2024 08:00:00", "Данные часов некорректны"},
                  {"Отказ 4", "03.03.2024 12:00:00", "Продолжается", "Ошибка импульсного генератора"},
                  {"", "01.01.1970 00:00:05", "01.01.1970 00:00:06", ""},
                  {"", "01.01.1970 00:00:05", "01.01.1970 00:00:06", ""}}));
}

TEST(EventTexts, EachJournalsOwnCodesAndTheChannelModeChoices) {
    const QString noSignal = "Нет прохождения ультразвукового сигнала по акустическому тракту";
    const struct {
        int archive, code;
        bool twoChannel;
        QString name, description;
    } cases[] = {
        {3, 7, true, "Отказ 7", "Отказ ОЗУ"},
        {3, 8, false, "", ""},
        {4, 2, false, "Корректировка данных", "Линия разрешения записи параметров разблокирована"},
        {4, 3, false, "", ""},
        {5, 4, false, "Нет УЗС в 1-ом луче", noSignal},
        {6, 4, true, "Нет УЗС", noSignal},
        {6, 6, false, "Q < Qниж. уст.", "Расход опустился ниже нижней уставки"},
        // The beams' own rows exist only in two-beam operation.
        {5, 7, false, "Нет УЗС во 2-ом луче", noSignal},
        {5, 7, true, "", ""},
        {6, 8, true, "", ""},
        {5, 16, true, "Нет питания", "Выключено питание прибора"},
        {5, 0, false, "", ""},
        {6, 255, false, "", ""},
    };
    for (const auto& c : cases) {
        const archives::EventText text = archives::eventText(c.archive, c.code, c.twoChannel);
        EXPECT_EQ(text.name, c.name) << c.archive << " " << c.code;
        EXPECT_EQ(text.description, c.description) << c.archive << " " << c.code;
    }
}

} // namespace
