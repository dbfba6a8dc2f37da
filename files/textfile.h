#pragma once
// The program's files on disk: texts in Windows-1251 with CR LF line ends, and every regular file
// written beside its target first and renamed over it, so a failed write leaves the previous file
// whole. A device, a pipe or a socket named as the target is written to directly and never replaced.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace textfile {

// The first line of the files the operator saves: the program and the meter as the top status bar
// names it (its first 18 characters).
QString versionLine(const QString& deviceCaption);

// A text that comes from the meter, made fit for a line or a '#'-separated cell of a file: control
// characters (CR and LF among them) and '#' become '?', so it can neither add a line nor a cell.
QString plainText(const QString& text);

// Every line ended by CR LF.
QByteArray encodeLines(const QStringList& lines);
// Lines joined by CR LF, the last one without a line end.
QByteArray encodeJoined(const QStringList& lines);

// Writes bytes to path. A regular file, or none yet, is written to a temporary file in its folder
// and renamed over it; a symbolic link leads to its target, which is replaced, the link staying a
// link. A device, FIFO or socket is written to as it is. On failure a regular file at path is left
// as it was and error gets the reason.
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Whether write(path, ...) could go ahead, found out without changing anything there, so a long
// reading need not be done for a file that cannot take it; on failure error gets the reason.
bool writable(const QString& path, QString* error = nullptr);

} // namespace textfile
