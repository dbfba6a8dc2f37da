#include "link/linespeed.h"

namespace linespeed {

namespace {
// Written out, not checked: a file from another installation may carry another tail, and its
// speed is still what stands before the last six characters.
const QString Tail = QStringLiteral(",n,8,1");
} // namespace

QString textOf(const QString& settings) {
    return settings.size() >= TailLength ? settings.left(settings.size() - TailLength) : QString();
}

int of(const QString& settings) {
    bool ok = false;
    const int speed = textOf(settings).toInt(&ok);
    return ok ? speed : 0;
}

QString settingsFor(const QString& speedText) {
    return speedText + Tail;
}

QString settingsFor(int speed) {
    return settingsFor(QString::number(speed));
}

} // namespace linespeed
