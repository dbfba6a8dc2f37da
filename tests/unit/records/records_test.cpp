// Decoding of function 17 and function 65 replies: texts, records, entries and their check bytes.
#include "device/identification.h"
#include "device/records.h"
#include "hex.h"
#include "link/crc16.h"
#include "link/rtuframe.h"

#include <gtest/gtest.h>

namespace {

QByteArray frame(const QByteArray& head, const QByteArray& data) {
    return crc16::appended(head + data);
}

TEST(Identification, DeviceTextJoinsTheTwoTextsWithThreeBlanks) {
    const struct {
        const char* name;
        QByteArray reply;
        QString text;
    } cases[] = {
        {"two texts", frame(hex("05 11 05"), QByteArray("A\0B\0", 4)), "A   B"},
        {"cyrillic in cp1251", frame(hex("01 11 06"), hex("CA C4 00 31 2E 30 00")),
         QString::fromUtf8("КД   1.0")},
        {"second text unterminated stops at the CRC", frame(hex("01 11 04"), QByteArray("AB\0C", 4)),
         "AB   C"},
        {"no zero at all", frame(hex("01 11 03"), QByteArray("XYZ")), "XYZ   "},
        {"empty data", frame(hex("01 11 00"), {}), "   "},
        {"truncated to the header", hex("01 11"), "   "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ident::deviceText(RtuFrame(c.reply)), c.text) << c.name;
}

TEST(Identification, TextsAreTakenUpToTheirZerosAndTheReceivedLength) {
    struct Case {
        const char* name;
        QByteArray reply; // as received, the last two bytes standing for the CRC
        const char* text;
    };
    const Case cases[] = {
        {"two texts",
         QByteArray("\x05\x11\x04"
                    "A\0B\0"
                    "cc",
                    9),
         "A   B"},
        {"byte count ignored",
         QByteArray("\x05\x11\x63"
                    "AB\0CD\0"
                    "cc",
                    11),
         "AB   CD"},
        {"second text unended",
         QByteArray("\x05\x11\x04"
                    "A\0BC"
                    "cc",
                    9),
         "A   BC"},
        {"no zero at all",
         QByteArray("\x05\x11\x03"
                    "ABC"
                    "cc",
                    8),
         "ABC   "},
        {"nothing but the header",
         QByteArray("\x05\x11\x00"
                    "cc",
                    5),
         "   "},
        {"shorter than a frame", QByteArray("\x05\x11", 2), "   "},
        {"windows-1251",
         QByteArray("\x05\x11\x04"
                    "\xC4\xCA\0\x31\0"
                    "cc",
                    10),
         "ДК   1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ident::deviceText(RtuFrame(c.reply)), QString::fromUtf8(c.text)) << c.name;
}

TEST(Identification, EntryTextCarriesTheAddressInThreeColumns) {
    EXPECT_EQ(ident::entryText("A   B", 5), QString::fromUtf8("A   B адрес:   5"));
    EXPECT_EQ(ident::entryText("X", 42), QString::fromUtf8("X адрес:  42"));
    EXPECT_EQ(ident::entryText("X", 127), QString::fromUtf8("X адрес: 127"));
    EXPECT_EQ(ident::entryText("X", 1000), QString::fromUtf8("X адрес: 1000"));
    const struct {
        QString entry;
        std::optional<int> address;
    } back[] = {{QString::fromUtf8("A   B адрес:   5"), 5},
                {QString::fromUtf8("X адрес: 127"), 127},
                {" 42", 42},
                {QString::fromUtf8("A   B адрес: x5"), std::nullopt},
                {"device", std::nullopt},
                {"", std::nullopt},
                {"12", std::nullopt},
                {"5", std::nullopt}};
    for (const auto& c : back)
        EXPECT_EQ(ident::addressOfEntry(c.entry), c.address) << c.entry.toStdString();
}

QByteArray archiveRecordBytes(quint32 time, float a, float b, float c, float d, quint32 d1, quint32 d2,
                              bool goodCheck = true) {
    QByteArray r;
    auto u32 = [&](quint32 v) {
        for (int s = 24; s >= 0; s -= 8)
            r.append(char(v >> s));
    };
    auto f32 = [&](float v) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    };
    u32(time);
    f32(a), f32(b), f32(c), f32(d);
    u32(d1), u32(d2);
    const auto sum = records::checkByte(reinterpret_cast<const std::uint8_t*>(r.constData()), 28);
    r.append(char(goodCheck ? sum : sum + 1));
    return r;
}

TEST(ArchiveRecords, DecodesEveryFieldAndChecksTheSum) {
    const QByteArray data = archiveRecordBytes(1262300400, 10.0f, 0.5f, -2.0f, 62.5f, 3600, 7, true) +
                            archiveRecordBytes(1262304000, 11.0f, 0.5f, -2.0f, 62.5f, 3601, 8, false);
    const QByteArray reply = frame(hex("01 41") + QByteArray(1, char(data.size())), data);
    const auto recs = records::archiveRecords(reply, 2);
    ASSERT_EQ(recs.size(), 2);
    EXPECT_EQ(recs[0].time, 1262300400u);
    EXPECT_FLOAT_EQ(recs[0].volume[0][0], 10.0f);
    EXPECT_FLOAT_EQ(recs[0].volume[0][1], 0.5f);
    EXPECT_FLOAT_EQ(recs[0].volume[1][0], -2.0f);
    EXPECT_FLOAT_EQ(recs[0].volume[1][1], 62.5f);
    EXPECT_EQ(recs[0].downtime[0], 3600u);
    EXPECT_EQ(recs[0].downtime[1], 7u);
    EXPECT_TRUE(recs[0].checkOk);
    EXPECT_FALSE(recs[1].checkOk);
}

TEST(ArchiveRecords, AShortReplyGivesFewerRecordsNeverStaleOnes) {
    const QByteArray one = archiveRecordBytes(100, 1, 2, 3, 4, 5, 6);
    const QByteArray reply = frame(hex("01 41 3A"), one + one.left(20));
    EXPECT_EQ(records::archiveRecords(reply, 8).size(), 1);
    EXPECT_EQ(records::archiveRecords(reply, 0).size(), 0);
    EXPECT_TRUE(records::archiveRecords(hex("01 41"), 1).isEmpty());
}

TEST(JournalEntries, DecodesCodeTimesAndCheck) {
    const QByteArray good = hex("10 00 00 00 64 00 00 00 00 74");
    const QByteArray bad = hex("02 00 00 00 00 00 00 01 00 05");
    const auto entries = records::journalEntries(frame(hex("01 41 14"), good + bad), 25);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].code, 16);
    EXPECT_EQ(entries[0].start, 100u);
    EXPECT_EQ(entries[0].end, 0u);
    EXPECT_TRUE(entries[0].checkOk);
    EXPECT_EQ(entries[1].code, 2);
    EXPECT_EQ(entries[1].end, 256u);
    EXPECT_FALSE(entries[1].checkOk);
}

TEST(JournalEntries, KindIsByNumber) {
    for (int n = 0; n <= 7; ++n)
        EXPECT_EQ(records::isJournal(n), n >= 3 && n <= 6) << n;
}

} // namespace
