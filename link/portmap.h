#pragma once
// Maps the operator's port numbers (1..n) to system ports: COMn on Windows, a path chosen with
// "--comm n=/dev/ttyUSB0" on Linux, /dev/ttyS(n-1) by default; or to a serial device server with
// "--comm n=tcp://HOST:PORT" anywhere.
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

class PortMap {
  public:
    static QString systemPort(int number);
    // Whether the number was given a system port (rather than its default).
    static bool mapped(int number) { return table().contains(number); }
    static void set(int number, const QString& systemPort);
    static void clear();
    // Accepts "n=PATH" and "n=tcp://HOST:PORT"; false for anything else.
    static bool parseAssignment(const QString& text);
    // parseAssignment, and the complaint when the value is not one.
    static std::optional<QString> assign(const QString& value);
    static constexpr const char* MissingValue = "--comm needs n=PATH or n=tcp://HOST:PORT";
    // A port number, or a system name/path used as it stands.
    static QString resolve(const QString& portArgument);

  private:
    static QMap<int, QString>& table();
};
