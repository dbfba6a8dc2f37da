#pragma once
// A register block for decoding tests: `count` zero registers from `first`, with some registers set
// from hex text (several registers in a row may be given at once).
#include "device/registerblock.h"
#include "hex.h"

#include <initializer_list>
#include <utility>

inline RegisterBlock registerBlock(int first, int count,
                                   std::initializer_list<std::pair<int, const char*>> words) {
    QByteArray data(2 * count, '\0');
    for (auto [reg, bytes] : words) {
        const QByteArray b = hex(bytes);
        data.replace(2 * (reg - first), b.size(), b);
    }
    return RegisterBlock(first, data);
}
