// The bot's load mode against a relay on a thread of this test: every client through the setup
// and the ticks, the summary line, a refused connection; and the interval histogram's percentiles.
#include "load.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "options.h"
#include "relay/options.h"
#include "relay/server.h"

namespace brallo::bot {
namespace {

struct PercentileCase {
    const char* name;
    std::vector<int64_t> micros;
    double fraction;
    int64_t expected;  ///< upper edge of the bin, microseconds
};

class Percentiles : public ::testing::TestWithParam<PercentileCase> {};

TEST_P(Percentiles, UpperEdgeOfTheBin) {
    IntervalHistogram h;
    for (int64_t m : GetParam().micros) h.add(m);
    EXPECT_EQ(h.percentile(GetParam().fraction), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Histogram, Percentiles,
    ::testing::Values(PercentileCase{"Empty", {}, 0.99, 0},
                      PercentileCase{"OneValue", {16'004}, 0.5, 16'010},
                      PercentileCase{"MedianOfThree", {1'000, 16'000, 30'000}, 0.5, 16'010},
                      PercentileCase{"TailOfHundred",
                                     [] {
                                         std::vector<int64_t> v(99, 16'000);
                                         v.push_back(40'000);
                                         return v;
                                     }(),
                                     0.99, 16'010},
                      PercentileCase{"BeyondTheLastBinIsTheMaximum", {5'000'000}, 0.99, 5'000'000}),
    [](const auto& info) { return std::string(info.param.name); });

class RelayThread {
  public:
    explicit RelayThread(int32_t players) {
        relay::Options options;
        options.port = 0;
        options.bind = "127.0.0.1";
        options.players = players;
        options.tick = std::chrono::milliseconds(2);
        server_ = std::make_unique<relay::Server>(options, std::string(relay::builtinConfig),
                                                  [](const std::string&) {});
        thread_ = std::thread([this] { server_->run(); });
    }
    ~RelayThread() {
        server_->stop();
        thread_.join();
    }
    uint16_t port() const { return server_->port(); }

  private:
    std::unique_ptr<relay::Server> server_;
    std::thread thread_;
};

TEST(LoadMode, EveryClientPlaysItsTicks) {
    RelayThread relay(4);
    BotOptions options;
    options.port = relay.port();
    options.connections = 8;
    options.ticks = 40;
    options.driver = DriverKind::random;
    std::ostringstream out, log;
    EXPECT_EQ(runLoad(options, out, log), 0) << log.str();
    const std::string line = out.str();
    EXPECT_NE(line.find("load clients 8 playing 8 matches 2 "), std::string::npos) << line;
    EXPECT_NE(line.find(" lost 0"), std::string::npos) << line;
    EXPECT_EQ(line.find("tickRate 0.00"), std::string::npos) << line;
    // Both interval measures saw ticks: by the kernel's arrival times and as handled.
    EXPECT_EQ(line.find("interval p50 0.00"), std::string::npos) << line;
    EXPECT_EQ(line.find("handled p50 0.00"), std::string::npos) << line;
}

TEST(LoadMode, RefusedConnectionsFail) {
    // A bound socket that does not listen: connecting to its port is refused.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    BotOptions options;
    options.port = ntohs(address.sin_port);
    options.connections = 3;
    options.ticks = 5;
    std::ostringstream out, log;
    EXPECT_EQ(runLoad(options, out, log), 1);
    EXPECT_NE(out.str().find("lost 3"), std::string::npos) << out.str();
    EXPECT_NE(log.str().find("connect"), std::string::npos) << log.str();
    close(fd);
}

}  // namespace
}  // namespace brallo::bot
