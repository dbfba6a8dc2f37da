// The traffic monitor's reading of whatever crossed the line: any frame, any request beside it and any
// verdict decode without reading past the bytes, and a reply not judged good shows no values.
#include "archives/trafficdecode.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    FuzzInput in(data, size);
    TrafficEntry e;
    e.direction = TrafficDirection(in.byte() % 4);
    e.status = ReplyStatus(in.byte() % 12);
    e.exceptionCode = in.byte();
    e.modem = in.byte() & 1;
    e.address = in.byte();
    e.request = in.bytes(in.byte() % 32);
    e.bytes = in.rest();
    const QStringList lines = traffic::decode(e);
    FUZZ_CHECK(!lines.isEmpty());
    traffic::verdictText(e);
    traffic::functionText(e);
    traffic::csvRow(e);
    // Values are read only from replies judged good: any other shows a heading, a verdict and bytes.
    if (e.direction == TrafficDirection::Received && e.status != ReplyStatus::Ok && !e.modem)
        FUZZ_CHECK(lines.size() <= 4);
    return 0;
}
