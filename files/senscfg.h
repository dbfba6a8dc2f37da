#pragma once
// Sens.cfg: the link settings kept between runs (eight lines, Windows-1251, CR LF, no line end
// after the last). Pure functions, so the window and the tests share one reader and one writer.
#include "link/linksettings.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Everything Sens.cfg holds: the link settings and the poll period.
struct SensConfig {
    LinkSettings link;
    int pollMs = 10000;
};

// What start-up takes from the file. The values are taken in start-up order (RTS, modem flag and
// texts, modem delay; port and settings; poll period); the first failure stops the taking, so
// everything from the failing step on stays empty and keeps the program's start value.
struct SensLoad {
    std::optional<bool> rtsMode;
    std::optional<bool> useModem;
    std::optional<QString> modemInitString;
    std::optional<QString> dialPrefix;
    std::optional<QString> phoneNumber;
    std::optional<int> modemDelay;
    std::optional<int> commPort;
    std::optional<QString> settings;
    std::optional<int> pollMs;
    QString error;        // the operator's text of the first failure; empty when every value was taken
    bool missing = false; // there was no file (a first run), which the tools word in their own terms

    bool ok() const { return error.isEmpty(); }
    // Copies the taken values into config.
    void applyTo(SensConfig& config) const;
};

namespace senscfg {

inline constexpr const char* FileName = "Sens.cfg";

SensLoad parse(const QByteArray& bytes);
// A missing or unreadable file is a failure of the first step: nothing is taken.
SensLoad read(const QString& path);
QByteArray format(const SensConfig& config);
// Writes a temporary file next to path and renames it over path, so a failed or interrupted write
// leaves the previous file as it was.
bool write(const QString& path, const SensConfig& config, QString* error = nullptr);

} // namespace senscfg
