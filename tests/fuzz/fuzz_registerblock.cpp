// A register block of fuzzed data at a fuzzed first register: every getter gives a value exactly
// where the block holds all of its registers, and the value those bytes encode.
#include "device/registerblock.h"
#include "fuzzinput.h"

#include <climits>
#include <cmath>

namespace {

bool holds(const RegisterBlock& block, qint64 reg, int registers) {
    return reg >= block.first() && reg + registers <= qint64(block.first()) + block.count();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto first = in.value<std::int32_t>();
    const QByteArray bytes = in.rest();
    const RegisterBlock block(first, bytes);
    FUZZ_CHECK(block.count() == bytes.size() / 2);

    auto word = [&](qint64 reg) {
        const qint64 i = 2 * (reg - first);
        return std::uint16_t(std::uint8_t(bytes[i]) << 8 | std::uint8_t(bytes[i + 1]));
    };
    // Around both ends of the block, a few inside, and the ends of the number range.
    QList<qint64> registers{INT_MIN, INT_MAX, 0, -1, qint64(first) + block.count() / 2};
    for (int d = -4; d <= 4; ++d)
        registers << qint64(first) + d << qint64(first) + block.count() + d;
    for (const qint64 r : registers) {
        if (r < INT_MIN || r > INT_MAX) continue;
        const int reg = int(r);
        FUZZ_CHECK(block.has(reg) == holds(block, r, 1));
        FUZZ_CHECK(block.u16(reg).has_value() == holds(block, r, 1));
        FUZZ_CHECK(block.s16(reg).has_value() == holds(block, r, 1));
        FUZZ_CHECK(block.byte(reg).has_value() == holds(block, r, 1));
        FUZZ_CHECK(block.u32(reg).has_value() == holds(block, r, 2));
        FUZZ_CHECK(block.f32(reg).has_value() == holds(block, r, 2));
        FUZZ_CHECK(block.time(reg).has_value() == holds(block, r, 2));
        FUZZ_CHECK(block.twoPart(reg).has_value() == holds(block, r, 4));
        if (holds(block, r, 1)) {
            FUZZ_CHECK(*block.u16(reg) == word(r));
            FUZZ_CHECK(std::uint16_t(*block.s16(reg)) == word(r));
        }
        if (holds(block, r, 2)) {
            const std::uint32_t both = std::uint32_t(word(r)) << 16 | word(r + 1);
            FUZZ_CHECK(*block.u32(reg) == both);
            FUZZ_CHECK(*block.time(reg) == both);
            float f;
            std::memcpy(&f, &both, 4);
            FUZZ_CHECK(std::isnan(f) ? std::isnan(*block.f32(reg)) : *block.f32(reg) == f);
        }
    }
    return 0;
}
