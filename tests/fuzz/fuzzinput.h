#pragma once
// Pieces every fuzz target uses: taking typed values from the fuzzed bytes, and a check that stops
// the run (libFuzzer then keeps the input that broke it).
#include <QByteArray>
#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// Reads the fuzzed bytes front to back; past the end everything reads as zero.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16() { return std::uint16_t(byte() << 8 | byte()); }
    template <typename T> T value() {
        unsigned char raw[sizeof(T)] = {};
        for (auto& b : raw)
            b = byte();
        T v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    QByteArray bytes(std::size_t count) {
        const std::size_t n = std::min(count, m_size - std::min(m_pos, m_size));
        QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(m_size); }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Qt's text codecs, timers and event processing want an application object.
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}
