#include "files/textfile.h"

#include "link/cp1251.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace textfile {

QString versionLine(const QString& deviceCaption) {
    return QStringLiteral("Расходомер-счетчик КАСТАРИ ДК, версия ") + plainText(deviceCaption).left(18);
}

QString plainText(const QString& text) {
    QString plain = text;
    for (QChar& c : plain)
        if (c.category() == QChar::Other_Control || c == u'#') c = u'?';
    return plain;
}

QByteArray encodeLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += cp1251::encode(line) + "\r\n";
    return out;
}

QByteArray encodeJoined(const QStringList& lines) {
    return cp1251::encode(lines.join(QStringLiteral("\r\n")));
}

namespace {

enum class Target { File, Folder, Special };

Target kindOf(const QString& path) {
    // Follows symbolic links, as opening the path would.
    const QFileInfo info(path);
    if (info.isDir()) return Target::Folder;
    // A character or block device, a FIFO or a socket: renaming a file over it would replace it.
    if (info.exists() && !info.isFile()) return Target::Special;
    return Target::File;
}

// The file a write to path replaces: the end of its chain of symbolic links, which need not exist
// yet; path itself when it is no link. A renamed file put on the link would turn it into a file.
QString linkTarget(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

bool fail(QString* error, const QString& reason) {
    if (error) *error = reason;
    return false;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, QString* error) {
    switch (kindOf(path)) {
    case Target::Folder:
        // The save file would take a folder's name and fail only at the rename, after the work.
        return fail(error, QStringLiteral("Is a directory"));
    case Target::Special: {
        // Unbuffered, so that a device that takes nothing (a full disk, /dev/full) says so here.
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || device.write(bytes) != bytes.size())
            return fail(error, device.errorString());
        device.close();
        return device.error() == QFileDevice::NoError || fail(error, device.errorString());
    }
    case Target::File:
        break;
    }
    QSaveFile file(linkTarget(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, reason);
    }
    return true;
}

bool writable(const QString& path, QString* error) {
    switch (kindOf(path)) {
    case Target::Folder:
        return fail(error, QStringLiteral("Is a directory"));
    case Target::Special:
        // Opening a FIFO would wait for its reader, and a device may act on being opened.
        return QFileInfo(path).isWritable() || fail(error, QStringLiteral("Permission denied"));
    case Target::File:
        break;
    }
    // The same temporary file a write makes, given up at once: it is never renamed over anything.
    QSaveFile file(linkTarget(path));
    if (!file.open(QIODevice::WriteOnly)) return fail(error, file.errorString());
    file.cancelWriting();
    return true;
}

} // namespace textfile
