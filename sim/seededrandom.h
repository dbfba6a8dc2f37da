#pragma once
// A small reproducible generator (splitmix64): the same seed gives the same meter on every platform,
// which the standard library's distributions do not promise.
#include <cstdint>

namespace sim {

class SeededRandom {
  public:
    explicit SeededRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // In [lo, hi], both inclusive.
    std::int64_t range(std::int64_t lo, std::int64_t hi) {
        return lo + std::int64_t(next() % std::uint64_t(hi - lo + 1));
    }

    // A stateless hash of a few numbers, for values that must not depend on the order of calls.
    static std::uint64_t mix(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0) {
        SeededRandom r(a * 0x100000001B3ull ^ (b + 0x9E3779B97F4A7C15ull) ^ (c << 17));
        r.next();
        return r.next();
    }

  private:
    std::uint64_t m_state;
};

} // namespace sim
