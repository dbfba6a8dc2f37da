#include "files/textfile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>

namespace textfile {

namespace {
QByteArray windows1251(const QString& text) {
    QStringEncoder encode("windows-1251");
    return encode(text);
}
} // namespace

QByteArray encodeLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += windows1251(line) + "\r\n";
    return out;
}

QByteArray encodeJoined(const QStringList& lines) {
    return windows1251(lines.join(QStringLiteral("\r\n")));
}

bool write(const QString& path, const QByteArray& bytes, QString* error) {
    // The save file would take a folder's name and fail only at the rename, after the work.
    if (QFileInfo(path).isDir()) {
        if (error) *error = QStringLiteral("Is a directory");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace textfile
