#include "link/commcontrol.h"

#include "link/linespeed.h"

#include <QtGlobal>
#include <algorithm>
#include <climits>

qint64 CommControl::bitsTimeUs(qint64 bits) const {
    const int known = linespeed::of(Settings());
    const qint64 speed = known > 0 ? known : SlowestSpeed;
    return (std::max<qint64>(0, bits) * 1000000 + speed - 1) / speed;
}

int CommControl::bitsTimeMs(qint64 bits) const {
    return int(std::min<qint64>(INT_MAX, (bitsTimeUs(bits) + 999) / 1000));
}

int CommControl::rtsHoldMs(int byteCount) const {
    const int speed = linespeed::of(Settings());
    const int hold = speed > 0 ? int((qint64(byteCount) * 8000) / speed) : 1;
    return std::max(1, hold);
}
