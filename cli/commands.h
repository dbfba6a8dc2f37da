#pragma once
// The command line of kastari-cli: parsing, the requests, the printed lines and the exit status.
#include <QStringList>

namespace cli {

enum Exit { ExitOk = 0, ExitUsage = 1, ExitPort = 2, ExitReply = 3 };

int run(const QStringList& args);
QString helpText();

} // namespace cli
