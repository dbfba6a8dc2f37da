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
    // The line itself, however it is written: a device by its canonical path, a device server by
    // its address as resolved and its port. Empty: the port as written.
    QString lineKey{};
};

// A meter's name is copied into every run's records: a longer one is refused.
constexpr int MaxNameLength = 200;

// The meters in the order written; nothing on the first error, *error then reading
// "FILE:LINE:COLUMN: what".
std::optional<QList<MeterEntry>> parseMeterList(const QString& text, const QString& fileName, QString* error);

// The key of the line a port names (see MeterEntry::lineKey): two spellings of one line, through
// "..", a symbolic link, a port number or a host name, give one key.
QString lineKey(const QString& port);

// The meters grouped by the line they are reached through, each group in list order: one group is
// one line, whose meters are visited one after another.
QList<QList<MeterEntry>> byPort(const QList<MeterEntry>& meters);

// One line's meters by the number its modem dials, in the order first listed: each group is one
// call. A direct line is one group.
QList<QList<MeterEntry>> byCall(const QList<MeterEntry>& line);

} // namespace collect
