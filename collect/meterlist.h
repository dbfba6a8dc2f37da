#pragma once
// The list of meters a collector visits, as a person writes it: one meter a line,
// "LINE ADDRESS [SPEED] [NAME...]", "#" starting a comment.
#include <QList>
#include <QString>
#include <optional>

namespace collect {

struct MeterEntry {
    QString line;   // as written: a device path, tcp://HOST:PORT or modem:PATH:NUMBER
    QString port;   // what is opened: the path or tcp:// address (for a modem, its path)
    QString dial{}; // the number a modem dials; empty for a direct line
    int address = 1;
    int speed = 9600;
    QString name{};
    int lineNumber = 0; // in the file
};

// The meters in the order written; nothing on the first error, *error then reading
// "FILE:LINE:COLUMN: what".
std::optional<QList<MeterEntry>> parseMeterList(const QString& text, const QString& fileName, QString* error);

// The meters grouped by the port they are reached through, each group in list order: one group is
// one line, whose meters are visited one after another.
QList<QList<MeterEntry>> byPort(const QList<MeterEntry>& meters);

// One line's meters by the number its modem dials, in the order first listed: each group is one
// call. A direct line is one group.
QList<QList<MeterEntry>> byCall(const QList<MeterEntry>& line);

} // namespace collect
