// A fuzzed Sens.cfg: the reader never fails otherwise than with a message, and what it takes is
// written back and read again unchanged.
#include "files/senscfg.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    const SensLoad load = senscfg::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    SensConfig config;
    load.applyTo(config);
    if (!load.ok()) {
        FUZZ_CHECK(!load.pollMs.has_value());
        return 0;
    }
    const LinkSettings& link = config.link;
    // Texts with characters Windows-1251 cannot carry, or with a line end, cannot come back as they were.
    for (const QString& text : {link.ModemInitString, link.DialPrefix, link.PhoneNumber})
        if (text.contains(QChar::ReplacementCharacter) || text.contains(u'\n')) return 0;
    const SensLoad again = senscfg::parse(senscfg::format(config));
    FUZZ_CHECK(again.ok());
    SensConfig copy;
    again.applyTo(copy);
    FUZZ_CHECK(copy.link == config.link);
    FUZZ_CHECK(copy.pollMs == config.pollMs);
    return 0;
}
