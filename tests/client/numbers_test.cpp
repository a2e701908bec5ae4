// The strict number texts of the console and the server.
#include "brallo/main/numbers.h"

#include <gtest/gtest.h>

#include "brallo/main/loop.h"

namespace brallo {
namespace {

TEST(NumbersTest, PortsAndSeedsAreDigitsOnly) {
    EXPECT_EQ(parsePort("0"), 0);
    EXPECT_EQ(parsePort("65535"), 65535);
    EXPECT_EQ(parsePort("011112"), 11112);
    EXPECT_EQ(parseSeed("0042"), 42u);
    EXPECT_EQ(parseSeed("4294967295"), 4294967295u);
    for (const char* bad : {"", "65536", "+1", "-1", " 1", "1 ", "1x", "0x10"}) {
        EXPECT_THROW(parsePort(bad), ConversionError) << bad;
    }
    for (const char* bad : {"", "4294967296", "+1", "-1", "1\n", "99999999999999999999"}) {
        EXPECT_THROW(parseSeed(bad), ConversionError) << bad;
    }
}

TEST(NumbersTest, CountsAndPlayerNumbersTakeAnOptionalSign) {
    EXPECT_EQ(parseInt32("+2", "n"), 2);
    EXPECT_EQ(parseInt32("02", "n"), 2);
    EXPECT_EQ(parseInt32("-2147483648", "n"), INT32_MIN);
    EXPECT_EQ(parseInt32("2147483647", "n"), INT32_MAX);
    for (const char* bad :
         {"", "+", "-", "2147483648", "-2147483649", "+-1", "GoOn", "goon", "1 ", "\x01"}) {
        EXPECT_THROW(parseInt32(bad, "n"), ConversionError) << bad;
    }
}

TEST(NumbersTest, TheErrorSaysWhatArrived) {
    try {
        parseInt32("Go\x01n", "server message");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot convert server message \"Go\\x01n\": expected a signed 32-bit "
                     "decimal number");
    }
}

struct PaceCase {
    uint32_t elapsed;
    uint32_t wait;
};

TEST(PacingTest, ATickPassLastsAtLeastOneFrame) {
    for (PaceCase c : {PaceCase{0, 16}, PaceCase{1, 15}, PaceCase{15, 1}, PaceCase{16, 0},
                       PaceCase{17, 0}, PaceCase{4000000000u, 0}}) {
        EXPECT_EQ(paceDelay(c.elapsed), c.wait) << c.elapsed;
    }
    // The millisecond counter wraps after 49.7 days; the unsigned difference stays right.
    uint32_t before = 0xFFFFFFFAu, now = 4;
    EXPECT_EQ(paceDelay(now - before), 6u);
}

}  // namespace
}  // namespace brallo
