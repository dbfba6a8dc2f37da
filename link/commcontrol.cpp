#include "link/commcontrol.h"

#include <QtGlobal>
#include <climits>
#include <algorithm>

QString CommControl::speedTextOf(const QString& settings) {
    return settings.size() >= 6 ? settings.left(settings.size() - 6) : QString();
}

int CommControl::speedOf(const QString& settings) {
    bool ok = false;
    const int speed = speedTextOf(settings).toInt(&ok);
    return ok && speed > 0 ? speed : 0;
}

qint64 CommControl::bitsTimeUs(qint64 bits) const {
    const int known = speedOf(Settings());
    const qint64 speed = known > 0 ? known : SlowestSpeed;
    return (std::max<qint64>(0, bits) * 1000000 + speed - 1) / speed;
}

int CommControl::bitsTimeMs(qint64 bits) const {
    return int(std::min<qint64>(INT_MAX, (bitsTimeUs(bits) + 999) / 1000));
}

int CommControl::rtsHoldMs(int byteCount) const {
    const int speed = speedOf(Settings());
    const int hold = speed > 0 ? int((qint64(byteCount) * 8000) / speed) : 1;
    return std::max(1, hold);
}
