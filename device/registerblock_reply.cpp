// Kept apart from registerblock.cpp so that code using only the decoding does not pull in the engine.
#include "device/registerblock.h"

#include "link/functioncodes.h"
#include "link/tmodbus.h"

std::optional<RegisterBlock> RegisterBlock::fromReply(const TModBus& engine, int first) {
    // An accepted reply to a register read already has the request's address, length and byte
    // count; the function and the frame length are checked again only because the last request
    // may have been something else.
    if (!engine.replyOk()) return std::nullopt;
    const RtuFrame frame = engine.replyFrame();
    const std::optional<QByteArray> data = frame.countedData();
    if (frame.function() != modbus::FnReadHolding || !data) return std::nullopt;
    return RegisterBlock(first, *data);
}

std::optional<RegisterBlock> RegisterBlock::read(TModBus& engine, int address, int first, int count) {
    engine.ReadHoldingRegisters(std::uint8_t(address), std::uint8_t(count), std::uint16_t(first));
    std::optional<RegisterBlock> block = fromReply(engine, first);
    // The engine holds the reply to the count as sent, one byte of it.
    if (block && block->count() < count) block.reset();
    return block;
}
