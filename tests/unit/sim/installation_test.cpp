// The meter's installation parameters: plausible in every layout, and command 1 in registers 27/28
// making the meter take a new output mode.
#include "device/generalparams.h"
#include "simtestutil.h"

#include <gtest/gtest.h>

using namespace simtest;
using namespace genparams;

TEST(Installation, EveryLayoutShowsValuesItsEditorsWouldAccept) {
    for (Variant v : Variants) {
        const Layout& l = layout(v);
        sim::DeviceOptions options;
        options.workMode = l.workMode;
        options.sensorType = l.sensorType;
        auto m = meter(options);
        QByteArray image;
        for (int r = 0; r < sim::DeviceModel::RegisterCount; ++r)
            image += enc::u16Bytes(m.holding(r));
        const RegisterBlock all(0, image);
        for (const Row& r : l.fields) {
            if (r.extra.fixedText || r.field.control == param::Control::Cells) continue;
            for (int ch = 0; ch < 2; ++ch) {
                SCOPED_TRACE(controlName(l, r, ch).toStdString());
                if (r.field.control == param::Control::List)
                    EXPECT_TRUE(itemIndex(r, ch, all));
                else if (r.field.editable())
                    EXPECT_EQ(
                        param::check(r.field, param::registerFor(r.field, ch + 1), *fieldText(r, ch, all))
                            .verdict,
                        Verdict::Write);
                else
                    EXPECT_GT(*all.f32(param::registerFor(r.field, ch + 1)), 0.0f);
            }
        }
    }
}

TEST(Installation, CommandOneTakesTheNewOutputMode) {
    auto m = meter();
    const float pulseMode = m.holdingFloat(109);
    EXPECT_FLOAT_EQ(pulseMode, m.holdingFloat(62)) << "m3 per pulse";
    m.answer(request("01 06 00 15 00 00")); // frequency output
    EXPECT_EQ(m.holdingFloat(109), pulseMode) << "not before the command";
    m.answer(request("01 06 00 1b 00 01"));
    EXPECT_FLOAT_EQ(m.holdingFloat(109), 1.0f / m.holdingFloat(62)) << "pulses per m3";
    EXPECT_FLOAT_EQ(m.holdingFloat(192), m.holdingFloat(145)) << "channel 2 waits for its own command";
    m.answer(request("01 06 00 1c 00 01"));
    EXPECT_FLOAT_EQ(m.holdingFloat(192), 1.0f / m.holdingFloat(145));
    EXPECT_EQ(m.holding(27), 0);

    // In verification both channels follow the one mode and weight.
    sim::DeviceOptions verification;
    verification.workMode = 1;
    auto pn = meter(verification);
    pn.setHoldingFloat(34, 0.5f);
    pn.answer(request("01 06 00 1a 00 00")); // register 26: frequency output
    pn.answer(request("01 06 00 1c 00 01"));
    EXPECT_FLOAT_EQ(pn.holdingFloat(192), 2.0f);
    EXPECT_FLOAT_EQ(pn.holdingFloat(109), 0.01f) << "channel 1 as before its command";
}
