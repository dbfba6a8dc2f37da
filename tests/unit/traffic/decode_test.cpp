// The operator's reading of log entries: verdict words and the decoding pane.
#include "archives/trafficdecode.h"
#include "device/encodings.h"
#include "device/records.h"
#include "hex.h"
#include "link/crc16.h"

#include <gtest/gtest.h>

namespace {

QByteArray withCrc(const char* text) {
    return crc16::appended(hex(text));
}

TrafficEntry reply(const QByteArray& request, const QByteArray& bytes, ReplyStatus status = ReplyStatus::Ok) {
    TrafficEntry e;
    e.direction = TrafficDirection::Received;
    e.request = request;
    e.bytes = bytes;
    e.address = std::uint8_t(request[0]);
    e.status = status;
    return e;
}

TEST(TrafficVerdict, WordsForEveryKindOfEnd) {
    TrafficEntry exception = reply(withCrc("01 03 01 30 00 15"), withCrc("01 83 02"), ReplyStatus::Exception);
    exception.exceptionCode = 2;
    exception.completion = ReplyCompletion::Length;
    const TrafficEntry noReply{.direction = TrafficDirection::Event, .status = ReplyStatus::NoReply};
    const TrafficEntry port{.direction = TrafficDirection::Event,
                            .status = ReplyStatus::PortError,
                            .portError = QStringLiteral("No such file or directory")};
    const TrafficEntry stale{.direction = TrafficDirection::Discarded, .bytes = hex("01 03")};
    TrafficEntry modem = reply(QByteArray("AT\r\r"), QByteArray("OK\r\n"), ReplyStatus::CrcError);
    modem.modem = true;

    const struct {
        TrafficEntry entry;
        const char* words;
    } rows[] = {
        {reply(withCrc("01 03 00 00 00 01"), withCrc("01 03 02 00 01")), "норма, конец по тишине"},
        {reply(withCrc("01 03 00 00 00 01"), withCrc("01 03 02 00 01"), ReplyStatus::CrcError),
         "ошибка CRC, конец по тишине"},
        {exception, "исключение 2: недопустимый адрес данных, конец по длине"},
        {noReply, "нет ответа"},
        {port, "порт не открывается: No such file or directory"},
        {stale, "лишние байты отброшены"},
        {modem, "ответ модема"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(traffic::verdictText(row.entry), QString::fromUtf8(row.words));
    EXPECT_EQ(traffic::functionText(exception), QStringLiteral("3 искл."));
}

TEST(TrafficDecode, RegistersAsUnsignedSignedAndFloat) {
    // 12.5 as a float over registers 100 and 101; 0xFFFF is -1 signed.
    const TrafficEntry e = reply(withCrc("01 03 00 64 00 03"), withCrc("01 03 06 41 48 00 00 FF FF"));
    const QStringList lines = traffic::decode(e);
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("Ответ, адрес 1, функция 3 (чтение регистров)"));
    EXPECT_EQ(lines[3].simplified(), QStringLiteral("100 0x4148 16712 16712 12,5"));
    EXPECT_EQ(lines[5].simplified(), QStringLiteral("102 0xFFFF 65535 -1"))
        << "no float past the last register";
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Байты (11): 01 03 06 41 48")));
}

TEST(TrafficDecode, AFailedReplyShowsItsBytesButNoValues) {
    const TrafficEntry e =
        reply(withCrc("01 03 00 64 00 01"), hex("01 03 02 41 48 00 00"), ReplyStatus::CrcError);
    const QStringList lines = traffic::decode(e);
    EXPECT_EQ(lines.size(), 3);
    EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("16712")));
}

TEST(TrafficDecode, RequestsNameWhatTheyAskFor) {
    const TrafficEntry write{.bytes = withCrc("01 10 00 24 00 02 04 00 07 FF FE"), .address = 1};
    const QString writeText = traffic::decode(write).join('\n');
    EXPECT_TRUE(writeText.contains(QStringLiteral("запись регистров")));
    EXPECT_TRUE(writeText.contains(QStringLiteral("37  0xFFFE")));
    const TrafficEntry archive{.bytes = withCrc("01 41 00 00 00 08 01 00 00 17 1F 0C 09"), .address = 1};
    EXPECT_TRUE(traffic::decode(archive).contains(
        QStringLiteral("часовой архив, записей 8, по дате: час 23, 31.12.09")));
}

TEST(TrafficDecode, ArchiveRecordsAndJournalEntriesByTheirTimes) {
    ArchiveRecord record;
    record.time = enc::DateToSec(QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC));
    QByteArray bad = records::encodeArchiveRecord(record);
    bad[28] = char(bad[28] + 1);
    const QByteArray records = records::encodeArchiveRecord(record) + bad;
    const TrafficEntry archive = reply(withCrc("01 41 00 00 00 02 00 00 05"),
                                       crc16::appended(hex("01 41") + char(records.size()) + records));
    const QStringList archiveLines = traffic::decode(archive);
    EXPECT_TRUE(archiveLines.contains(QStringLiteral("Запись 1: 01.03.2026 10:00:00")));
    EXPECT_TRUE(
        archiveLines.contains(QStringLiteral("Запись 2: 01.03.2026 10:00:00, контрольный байт неверен")));

    JournalEntry entry;
    entry.code = 3;
    entry.end = record.time;
    const QByteArray entries = records::encodeJournalEntry(entry);
    const TrafficEntry journal = reply(withCrc("01 41 00 03 00 19 00 00 00"),
                                       crc16::appended(hex("01 41") + char(entries.size()) + entries));
    EXPECT_TRUE(traffic::decode(journal).contains(
        QStringLiteral("Запись 1: код 3, начало нет данных, конец 01.03.2026 10:00:00")));
}

} // namespace
