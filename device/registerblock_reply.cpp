// Kept apart from registerblock.cpp so that code using only the decoding does not pull in the engine.
#include "device/registerblock.h"

#include "link/tmodbus.h"

std::optional<RegisterBlock> RegisterBlock::fromReply(const TModBus& engine, int first) {
    if (!engine.replyOk()) return std::nullopt;
    const int received = engine.Received;
    if (received < 5 || received > TModBus::BufferSize || engine.Buffer[1] != 3) return std::nullopt;
    const int byteCount = engine.Buffer[2];
    // Registers come in whole pairs; an odd count is a malformed frame, not a shorter block.
    if (byteCount % 2 != 0 || 3 + byteCount + 2 != received) return std::nullopt;
    return RegisterBlock(first,
                         QByteArray(reinterpret_cast<const char*>(engine.Buffer.data()) + 3, byteCount));
}
