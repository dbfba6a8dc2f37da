#pragma once
// The link settings the operator edits in the settings dialog: the port's number and speed text,
// RS-485 direction control and the modem. A plain value; the main window copies it from and
// back to the serial control, the engine and its own fields.
#include <QString>

struct LinkSettings {
    QString Settings = QStringLiteral("9600,n,8,1"); // speed in bit/s followed by ",n,8,1"
    int CommPort = 1;
    bool RtsMode = false;
    bool UseModem = false;
    QString ModemInitString;
    QString DialPrefix;
    QString PhoneNumber;
    int ModemDelay = 0; // seconds

    bool operator==(const LinkSettings&) const = default;
};
