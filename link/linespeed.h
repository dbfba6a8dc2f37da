#pragma once
// The port's settings text ("9600,n,8,1"): the speed in bit/s followed by a fixed ",n,8,1" tail.
// Sens.cfg, the settings dialog, the scan and the engine's timing all read the speed out of it the
// same way, so it is read here and nowhere else.
#include <QString>

namespace linespeed {

// The tail every settings text ends with: no parity, 8 data bits, 1 stop bit.
inline constexpr int TailLength = 6;

// The speed part: the text without its tail ("9600,n,8,1" -> "9600"); empty when shorter.
QString textOf(const QString& settings);
// The same as a number; 0 when it does not convert.
int of(const QString& settings);
// The settings text for a speed ("9600" -> "9600,n,8,1").
QString settingsFor(const QString& speedText);
QString settingsFor(int speed);

} // namespace linespeed
