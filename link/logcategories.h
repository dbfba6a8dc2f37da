#pragma once
// Logging categories for developer diagnostics: what the link quietly works around. They print
// nothing unless asked, e.g. QT_LOGGING_RULES="kastari.*.debug=true".
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSerial) // kastari.serial: the serial port control
Q_DECLARE_LOGGING_CATEGORY(lcTcp)    // kastari.tcp: the connection to a serial device server
