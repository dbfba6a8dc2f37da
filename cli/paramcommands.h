#pragma once
// kastari-cli's "save-params", "load-params" and "compare-params": the monitor's parameter files,
// written, loaded and compared as the monitor does.
#include <QString>
#include <QStringList>

class TModBus;

namespace cli {

struct ParamOptions {
    QString command;  // "save-params", "load-params" or "compare-params"
    QStringList args; // ADDR and the folder or the file
    bool yes = false; // load-params writes only when told so
};

int runParamCommand(const ParamOptions& options, TModBus& bus);

} // namespace cli
