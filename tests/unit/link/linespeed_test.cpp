// The speed read out of a settings text, as Sens.cfg, the settings dialog, the scan and the engine's
// timing all take it.
#include "link/linespeed.h"

#include <gtest/gtest.h>

namespace {

struct SpeedCase {
    const char* settings;
    const char* text;
    int speed;
};

TEST(LineSpeed, IsWhatStandsBeforeTheTail) {
    const SpeedCase cases[] = {
        {"9600,n,8,1", "9600", 9600},
        {"115200,n,8,1", "115200", 115200},
        // Another installation's tail still leaves the speed before the last six characters.
        {"19200,e,7,2", "19200", 19200},
        {"fast,n,8,1", "fast", 0},
        {",n,8,1", "", 0},
        {"9600", "", 0}, // shorter than the tail: no speed at all, not "9600" cut short
        {"", "", 0},
    };
    for (const SpeedCase& c : cases) {
        SCOPED_TRACE(c.settings);
        EXPECT_EQ(linespeed::textOf(QString::fromLatin1(c.settings)), QString::fromLatin1(c.text));
        EXPECT_EQ(linespeed::of(QString::fromLatin1(c.settings)), c.speed);
    }
}

TEST(LineSpeed, SettingsForASpeedReadBackAsThatSpeed) {
    EXPECT_EQ(linespeed::settingsFor(38400), QStringLiteral("38400,n,8,1"));
    EXPECT_EQ(linespeed::settingsFor(QStringLiteral("1200")), QStringLiteral("1200,n,8,1"));
    for (int speed : {1200, 9600, 115200})
        EXPECT_EQ(linespeed::of(linespeed::settingsFor(speed)), speed);
}

} // namespace
