#pragma once
// The program's files on disk: texts in Windows-1251 with CR LF line ends, and every file written
// beside its target first and renamed over it, so a failed write leaves the previous file whole.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace textfile {

// The first line of the files the operator saves: the program and the meter as the top status bar
// names it (its first 18 characters).
QString versionLine(const QString& deviceCaption);

// Every line ended by CR LF.
QByteArray encodeLines(const QStringList& lines);
// Lines joined by CR LF, the last one without a line end.
QByteArray encodeJoined(const QStringList& lines);

// Writes bytes to a temporary file in path's folder and renames it over path. On failure nothing
// at path changes and error gets the reason.
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace textfile
