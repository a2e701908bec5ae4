// The console answer that names the relay server: host, port and their defaults.
#include <gtest/gtest.h>

#include "brallo/main/numbers.h"
#include "brallo/main/setup.h"

namespace brallo {
namespace {

struct AddressCase {
    const char* answer;
    const char* host;
    uint16_t port;
};

class ServerAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddressTest, SplitsHostAndPort) {
    const AddressCase& c = GetParam();
    ServerAddress address = parseServerAddress(c.answer, 11112);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
}

INSTANTIATE_TEST_SUITE_P(Answers, ServerAddressTest,
                         ::testing::Values(AddressCase{"", "127.0.0.1", 11112},
                                           AddressCase{"\n", "127.0.0.1", 11112},
                                           AddressCase{":2000", "127.0.0.1", 2000},
                                           AddressCase{"example.org", "example.org", 11112},
                                           AddressCase{"  10.0.0.7:99 \t\r", "10.0.0.7", 99},
                                           AddressCase{"my host :5", "my host ", 5},
                                           AddressCase{"\xC2\xA0host\xE3\x80\x80", "host", 11112},
                                           AddressCase{"h:0", "h", 0},
                                           AddressCase{"h:65535", "h", 65535}));

TEST(ServerAddressTest, RefusesPortsThatAreNotPlainDigitsInRange) {
    for (const char* answer :
         {"host:", "host:65536", "host:+5", "host:-5", "host: 5", "a:1:2", "host:5x", ":"}) {
        EXPECT_THROW(parseServerAddress(answer, 11112), ConversionError) << answer;
    }
}

}  // namespace
}  // namespace brallo
