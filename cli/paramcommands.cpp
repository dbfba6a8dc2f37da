#include "cli/paramcommands.h"

#include "cli/commands.h"
#include "device/registerblock.h"
#include "files/paramcompare.h"
#include "files/paramreport.h"
#include "files/registerimage.h"
#include "files/snapshot.h"
#include "files/textfile.h"
#include "link/tmodbus.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

namespace cli {

namespace {

int fileError(const QString& path, const QString& reason) {
    err() << path << ": " << reason << "\n";
    err().flush();
    return ExitFile;
}

// The image as the monitor reads it for a save; nothing when a read failed, the reason printed
// after `before`.
std::optional<QByteArray> readImage(TModBus& bus, std::uint8_t address, int* exit, const char* before = "") {
    const image::ImageRead read =
        image::read([&](int first, int count) { return RegisterBlock::read(bus, address, first, count); });
    if (read.complete()) return read.bytes;
    err() << before << "read " << read.readsDone << " of " << image::reads().size() << " blocks, then ";
    *exit = failure(bus);
    return std::nullopt;
}

// The folders a save makes for its files, taken away again when nothing was written into them.
class MadeFolders {
  public:
    // Makes dir and the folders above it that are missing; false when it cannot.
    bool make(const QString& dir) {
        for (QDir d(QDir(dir).absolutePath()); !d.exists(); d.setPath(QFileInfo(d.path()).path()))
            m_made.prepend(d.path());
        return QDir().mkpath(dir);
    }
    // The folders made, and only those, the deepest first; each only while it is empty.
    void takeAway() {
        for (auto it = m_made.crbegin(); it != m_made.crend(); ++it)
            QDir().rmdir(*it);
        m_made.clear();
    }
    void keep() { m_made.clear(); }
    ~MadeFolders() { takeAway(); }

  private:
    QStringList m_made;
};

int saveParams(TModBus& bus, std::uint8_t address, const QString& dir) {
    MadeFolders folders;
    if (!folders.make(dir)) return fileError(dir, QStringLiteral("cannot create the folder"));
    const QString report = QDir(dir).filePath(QStringLiteral("Param.txt"));
    const QString binary = snapshot::binaryName(report);
    // Before the meter is asked anything: a target that cannot take the files ends it at once.
    for (const QString& path : {report, binary}) {
        QString reason;
        if (!textfile::writable(path, &reason)) return fileError(path, reason);
    }
    // The report's first line names the meter as the monitor's device menu does.
    const std::optional<QString> caption = deviceCaption(bus, address);
    if (!caption) return failure(bus);
    int exit = ExitOk;
    const std::optional<QByteArray> image = readImage(bus, address, &exit, "nothing written: ");
    if (!image) return exit;
    const QList<std::pair<QString, QByteArray>> files{
        {report, paramreport::fileBytes(*caption, paramreport::FormBuffer(image::block(*image)))},
        {binary, snapshot::encode(*image)}};
    for (const auto& [path, bytes] : files) {
        QString reason;
        if (!textfile::write(path, bytes, &reason)) return fileError(path, reason);
        folders.keep();
        out() << path << '\n';
    }
    out().flush();
    return ExitOk;
}

int loadParams(TModBus& bus, std::uint8_t address, const snapshot::Snapshot& file, bool yes) {
    if (!yes) {
        err() << "load-params writes the snapshot of meter " << file.electronicNumber
              << " into the meter at address " << address << "; add --yes to do it\n";
        err().flush();
        return ExitUsage;
    }
    const std::optional<QString> meter = electronicNumber(bus, address);
    if (!meter) return failure(bus);
    if (!snapshot::belongsTo(file, *meter)) {
        err() << "the snapshot is of meter " << file.electronicNumber << ", the meter at address " << address
              << " is " << *meter << "; nothing written\n";
        err().flush();
        return ExitFile;
    }
    bool allOk = true;
    snapshot::load(
        file.image,
        [&](const RegisterWrite& block) {
            bus.WriteRegisters(address, std::uint8_t(block.count), std::uint16_t(block.reg), block.data);
            const bool ok = bus.replyOk();
            allOk = allOk && ok;
            out() << "registers " << block.reg << '-' << block.reg + block.count - 1 << ": "
                  << (ok ? QStringLiteral("written") : describe(bus.replyStatus(), bus.exceptionCode()))
                  << '\n';
            out().flush();
            return ok;
        },
        [](int ms) { QThread::msleep(ms); });
    return allOk ? ExitOk : ExitReply;
}

int compareParams(TModBus& bus, std::uint8_t address, const snapshot::Snapshot& file) {
    int exit = ExitOk;
    const std::optional<QByteArray> device = readImage(bus, address, &exit);
    if (!device) return exit;
    const QString meter = QString::number(*image::block(*device).u32(8));
    const bool foreign = !snapshot::belongsTo(file, meter);
    if (foreign)
        err() << "the snapshot is of meter " << file.electronicNumber << ", this one is " << meter
              << "; load-params would refuse it\n";
    // Two meters' settings side by side are still worth seeing.
    const QList<paramcompare::Difference> differences =
        paramcompare::differences(image::block(file.image), image::block(*device));
    for (const paramcompare::Difference& d : differences)
        out() << d.name << '\t' << d.inFile << '\t' << d.inDevice << '\n';
    out().flush();
    err().flush();
    if (foreign) return ExitFile;
    // As diff(1) does: 1 says that something differs.
    return differences.isEmpty() ? ExitOk : 1;
}

} // namespace

int runParamCommand(const ParamOptions& o, TModBus& bus) {
    const std::optional<long long> address = number(o.args.value(0), 1, 255);
    if (!address) return usage("ADDR must be a number from 1 to 255");
    const auto addr = std::uint8_t(*address);
    if (o.command == QLatin1String("save-params")) return saveParams(bus, addr, o.args.value(1));
    QString reason;
    const std::optional<snapshot::Snapshot> file = snapshot::read(o.args.value(1), &reason);
    if (!file) return fileError(o.args.value(1), reason);
    if (o.command == QLatin1String("load-params")) return loadParams(bus, addr, *file, o.yes);
    return compareParams(bus, addr, *file);
}

} // namespace cli
