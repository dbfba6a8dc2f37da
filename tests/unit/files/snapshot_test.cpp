// The snapshot file, the load plan, the three reads of a save and the comparison of a snapshot
// with a meter.
#include "files/paramcompare.h"
#include "files/snapshot.h"

#include "hex.h"
#include "paramimage.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray counting() {
    QByteArray image(image::Bytes, '\0');
    for (int k = 0; k < image.size(); ++k)
        image[k] = char(k * 7 + 3);
    return image;
}

TEST(Snapshot, NumberFirstThenTheImage) {
    const QByteArray image = counting();
    const QByteArray file = snapshot::encode(image);
    ASSERT_EQ(file.size(), 655);
    EXPECT_EQ(file.left(4), image.mid(16, 4));
    for (int k = 0; k < image.size(); ++k)
        ASSERT_EQ(file[k + 4], image[k]) << k;

    const auto read = snapshot::decode(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->image, image);
    EXPECT_EQ(read->electronicNumber, 0x737A8188u); // bytes 16..19 of the counting image
}

TEST(Snapshot, AnythingButAWholeSnapshotIsRefused) {
    EXPECT_FALSE(snapshot::decode(snapshot::encode(counting()).chopped(1)));
    EXPECT_FALSE(snapshot::decode(QByteArray()));
    EXPECT_FALSE(snapshot::decode(snapshot::encode(counting()) + "\r\nnote"));
}

// Only a plain file of a snapshot's length is read, and never more of it than one byte past that:
// a device that never ends, a FIFO nobody writes into and a huge file are each answered at once.
TEST(Snapshot, OnlyAPlainFileOfASnapshotsLengthIsRead) {
    QTemporaryDir dir;
    const QByteArray good = snapshot::encode(counting());
    const auto file = [&](const char* name, const QByteArray& bytes, qint64 size = -1) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        if (size >= 0) f.resize(size); // sparse: no need to write 100 MB
        return f.fileName();
    };
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.filePath("link.bin");
    ASSERT_TRUE(QFile::link(file("good.bin", good), link));
    const struct {
        QString path;
        bool taken;
    } cases[] = {
        {dir.filePath("good.bin"), true},
        {link, true},
        {file("short.bin", good.chopped(1)), false},
        {file("noted.bin", good + "\r\nnote"), false},
        {file("longer.bin", good + "x"), false},
        {file("huge.bin", good, 100'000'000), false},
        {fifo, false},
        {"/dev/zero", false},
        {"/dev/null", false},
        {dir.path(), false},
        {dir.filePath("missing.bin"), false},
    };
    for (const auto& c : cases) {
        QString reason;
        const std::optional<snapshot::Snapshot> read = snapshot::read(c.path, &reason);
        EXPECT_EQ(read.has_value(), c.taken) << c.path.toStdString();
        EXPECT_EQ(reason.isEmpty(), c.taken) << c.path.toStdString() << ": " << reason.toStdString();
        if (read) {
            EXPECT_EQ(read->image, counting());
        }
    }
}

TEST(Snapshot, BelongsToTheMeterWhoseNumberReadsTheSame) {
    const snapshot::Snapshot s{12345678, {}};
    EXPECT_TRUE(snapshot::belongsTo(s, "12345678"));
    EXPECT_FALSE(snapshot::belongsTo(s, "012345678"));
    EXPECT_FALSE(snapshot::belongsTo(s, "12345679"));
    EXPECT_FALSE(snapshot::belongsTo(snapshot::Snapshot{0, {}}, ""));
}

TEST(Snapshot, NameBesideTheReport) {
    EXPECT_EQ(snapshot::binaryName("/m/123/Param.txt"), "/m/123/Param.bin");
    EXPECT_EQ(snapshot::binaryName("/m/123/report"), "/m/123/repbin");
    // These would otherwise land outside the folder or on the report itself.
    EXPECT_EQ(snapshot::binaryName("/m/123/ab"), "/m/123/ab.bin");
    EXPECT_EQ(snapshot::binaryName("/m/123/Param.bin"), "/m/123/Param.bin.bin");
}

TEST(LoadPlan, SixBlocksOfTheConfigurationRegistersWithPausesBetween) {
    const QByteArray image = counting();
    QStringList sent;
    QList<int> pauses;
    int calls = 0;
    const auto ok = snapshot::load(
        image,
        [&](const RegisterWrite& w) {
            sent << QStringLiteral("%1+%2 %3").arg(w.reg).arg(w.count).arg(toHex(w.data.left(2)));
            EXPECT_EQ(w.data, image.mid(2 * w.reg, 2 * w.count));
            return ++calls != 3; // the third block gets no reply; the rest still go
        },
        [&](int ms) {
            pauses << ms;
            sent << "pause";
        });
    EXPECT_EQ(sent, (QStringList{"2+6 1f 26", "pause", "15+12 d5 dc", "pause", "31+29 b5 bc", "pause",
                                 "60+29 4b 52", "pause", "119+26 85 8c", "pause", "145+27 f1 f8"}));
    EXPECT_EQ(pauses, QList<int>(5, 2000));
    EXPECT_EQ(ok, (std::array<bool, 6>{true, true, false, true, true, true}));
}

TEST(LoadPlan, NeverTheClockTheNumberTheCommandsOrTheMeasurements) {
    for (int reg : {0, 1, 8, 9, 12, 14, 27, 28, 29, 30, 89, 109, 114, 118, 172, 202, 252, 308})
        EXPECT_FALSE(snapshot::loaded(reg)) << reg;
    for (int reg : {2, 7, 15, 26, 31, 88, 119, 171})
        EXPECT_TRUE(snapshot::loaded(reg)) << reg;
}

TEST(Compare, NamesWhatALoadWouldChangeAndNothingElse) {
    TestImage device;
    device.u32(8, 1111).f32(60, 1.5f).f32(143, 2).u16(82, 0).f32(210, 5);
    TestImage file = device;
    file.u32(8, 2222).f32(0, 99);  // number and clock: a load never writes them
    file.f32(210, 6).f32(36, 100); // flow: measured; circumference: a parameter
    file.f32(143, 3).u16(165, 1);  // channel 2's threshold and flow direction
    file.u16(24, 7);               // shown on no line
    const QList<paramcompare::Difference> d = paramcompare::differences(file.block(), device.block());
    EXPECT_EQ(d, (QList<paramcompare::Difference>{{"Нижний порог, м3/ч", "1,50#3,00", "1,50#2,00"},
                                                  {"Длина окружности, мм", "100,00#0,00", "0,00#0,00"},
                                                  {"Направление потока", "прямое#обратное", "прямое#прямое"},
                                                  {"Регистр 24", "7", "0"}}));
    EXPECT_TRUE(paramcompare::differences(device.block(), device.block()).isEmpty());
}

} // namespace
