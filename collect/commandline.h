#pragma once
// kastari-collect's commands: run (collect once or every DURATION), status and export.
#include <QStringList>
#include <optional>

namespace collect {

enum Exit { ExitOk = 0, ExitUsage = 1, ExitDatabase = 2, ExitFile = 4, ExitSomeFailed = 5 };

int run(const QStringList& args);
QString helpText();

// "90s", "15m", "1h", "24h", "7d"; nothing for anything else or for 0.
std::optional<qint64> parseDuration(const QString& text);

} // namespace collect
