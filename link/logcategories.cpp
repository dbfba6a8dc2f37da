#include "link/logcategories.h"

// Warnings and worse only by default: the operator's console and the tools' stderr stay as they were.
Q_LOGGING_CATEGORY(lcSerial, "kastari.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTcp, "kastari.tcp", QtWarningMsg)
