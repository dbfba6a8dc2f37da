// The device text of a fuzzed report-slave-id reply, and the address read back from a device-menu
// entry made of it.
#include "device/identification.h"
#include "fuzzinput.h"
#include "link/rtuframe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    FuzzInput in(data, size);
    const int address = 1 + in.byte() % 247;
    const QByteArray reply = in.rest();
    const QString text = ident::deviceText(RtuFrame(reply));
    // Two texts, each cut at its zero byte, so no zero is left in either.
    FUZZ_CHECK(!text.contains(QChar(0)));
    FUZZ_CHECK(text.size() <= std::max<qsizetype>(0, reply.size() - 5) + 3);
    FUZZ_CHECK(ident::addressOfEntry(ident::entryText(text, address)) == address);
    ident::addressOfEntry(QString::fromUtf8(reply));
    return 0;
}
