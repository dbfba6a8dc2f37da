#include "files/textfile.h"

#include "link/cp1251.h"

#include <QFileInfo>
#include <QSaveFile>

namespace textfile {

QString versionLine(const QString& deviceCaption) {
    return QStringLiteral("Расходомер-счетчик КАСТАРИ ДК, версия ") + deviceCaption.left(18);
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
