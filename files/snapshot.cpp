#include "files/snapshot.h"

#include "device/encodings.h"
#include "files/registerimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace snapshot {

namespace {
constexpr int NumberOffset = 16; // registers 8-9
constexpr int NumberBytes = 4;
} // namespace

QByteArray encode(const QByteArray& image) {
    return image.mid(NumberOffset, NumberBytes) + image;
}

std::optional<Snapshot> decode(const QByteArray& file) {
    if (file.size() != FileBytes) return std::nullopt;
    const std::uint32_t number = enc::u32(reinterpret_cast<const std::uint8_t*>(file.constData()));
    return Snapshot{number, file.mid(NumberBytes, image::Bytes)};
}

std::optional<Snapshot> read(const QString& path, QString* reason) {
    const auto refuse = [reason](const QString& why) -> std::optional<Snapshot> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    // A FIFO would hold the program until someone writes into it, a device like /dev/zero would
    // never end: only a plain file can be a snapshot, and only so much of it is read as could be one.
    const QFileInfo info(path);
    if (info.isDir()) return refuse(QStringLiteral("is a folder"));
    if (info.exists() && !info.isFile()) return refuse(QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refuse(file.errorString());
    const QByteArray bytes = file.read(FileBytes + 1);
    if (file.error() != QFileDevice::NoError) return refuse(file.errorString());
    std::optional<Snapshot> snapshot = decode(bytes);
    if (!snapshot)
        return refuse(QStringLiteral("not a parameter snapshot (%1 bytes, not %2)")
                          .arg(bytes.size() > FileBytes ? QStringLiteral("more than %1").arg(FileBytes)
                                                        : QString::number(bytes.size()))
                          .arg(FileBytes));
    return snapshot;
}

bool belongsTo(const Snapshot& snapshot, const QString& electronicNumber) {
    return QString::number(snapshot.electronicNumber) == electronicNumber;
}

QString ownerMismatch(const Snapshot& snapshot, const QString& electronicNumber) {
    return QStringLiteral("Файл прибора %1, выбран прибор %2")
        .arg(snapshot.electronicNumber)
        .arg(electronicNumber);
}

QString binaryName(const QString& reportPath) {
    const QFileInfo report(reportPath);
    const QString name = report.fileName();
    QString binary = name.left(name.size() - 3) + QStringLiteral("bin");
    // A name of three characters or fewer would lose its folder, and a report named like a snapshot
    // would be overwritten by it.
    if (name.size() <= 3 || binary == name) binary = name + QStringLiteral(".bin");
    return report.dir().filePath(binary);
}

const std::array<LoadBlock, 6>& loadPlan() {
    // The meter needs time to take each block before the next arrives.
    static const std::array<LoadBlock, 6> plan{{
        {.first = 2, .count = 6, .pauseBeforeMs = 0},
        {.first = 15, .count = 12, .pauseBeforeMs = 2000},
        {.first = 31, .count = 29, .pauseBeforeMs = 2000},
        {.first = 60, .count = 29, .pauseBeforeMs = 2000},
        {.first = 119, .count = 26, .pauseBeforeMs = 2000},
        {.first = 145, .count = 27, .pauseBeforeMs = 2000},
    }};
    return plan;
}

RegisterWrite blockWrite(const LoadBlock& block, const QByteArray& image) {
    return RegisterWrite{block.first, block.count, image.mid(2 * block.first, 2 * block.count)};
}

bool loaded(int reg) {
    for (const LoadBlock& b : loadPlan())
        if (reg >= b.first && reg < b.first + b.count) return true;
    return false;
}

std::array<bool, 6> load(const QByteArray& image, const Write& write, const Pause& pause) {
    std::array<bool, 6> ok{};
    for (std::size_t i = 0; i < loadPlan().size(); ++i) {
        const LoadBlock& block = loadPlan()[i];
        if (block.pauseBeforeMs > 0) pause(block.pauseBeforeMs);
        ok[i] = write(blockWrite(block, image));
    }
    return ok;
}

} // namespace snapshot
