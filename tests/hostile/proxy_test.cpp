// Matches of real bots on the real relay with the fault proxy on some of the lines: delay,
// jitter and single-byte writes must not change the game (every bot prints the same digests),
// and a cut line must end only the bot behind it, cleanly, while the others finish in step.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "faultproxy.h"
#include "process.h"
#include "relay_process.h"

namespace brallo::hostile {
namespace {

using faultproxy::FaultProxy;
using faultproxy::Faults;
using testing::Process;
namespace fs = std::filesystem;

/// The proxy on a thread of the test, forwarding to the relay.
class ProxyThread {
  public:
    ProxyThread(std::uint16_t relayPort, const Faults& faults)
        : proxy_("127.0.0.1", relayPort, faults), thread_([this] { proxy_.run(); }) {}
    ~ProxyThread() {
        proxy_.stop();
        thread_.join();
    }
    FaultProxy& proxy() { return proxy_; }
    std::uint16_t port() const { return proxy_.port(); }

  private:
    FaultProxy proxy_;
    std::thread thread_;
};

/// A data folder with the map the relay's built-in configuration names.
class MapFolder {
  public:
    MapFolder() {
        static int counter = 0;
        dir_ = fs::temp_directory_path() /
               ("brallo-proxy-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir_ / "maps");
        std::ofstream(dir_ / "maps/map1.txt", std::ios::binary)
            << "c:10|20|30|0\r\nb:0|400|900|40\r\np:250|300|200|10\r\nb:-40|0|40|440\r\n"
               "b:900|0|40|440\r\ns:300|280|0|0\r\ng:600|380|0|0\r\n";
    }
    ~MapFolder() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string path() const { return dir_.string(); }

  private:
    fs::path dir_;
};

class Bot {
  public:
    Bot(std::uint16_t port, const MapFolder& data, int ticks, int driverSeed)
        : process_({BRALLO_BOT_PATH, "127.0.0.1:" + std::to_string(port), "--data", data.path(),
                    "--ticks", std::to_string(ticks), "--digest-every", "5", "--random",
                    std::to_string(driverSeed)}) {}

    /// The exit status (nothing while running after `limit`); reads all output once it ended.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        auto status = process_.wait(limit);
        if (status && !collected_) {
            collected_ = true;
            while (auto line = process_.readLine(std::chrono::seconds(2))) {
                if (line->rfind("tick ", 0) == 0) digests_.push_back(*line);
            }
        }
        return status;
    }
    /// "tick N digest X" lines, in order.
    const std::vector<std::string>& digests() const { return digests_; }
    std::string err() { return process_.stderrText(); }
    /// Waits (bounded) until the bot has printed a digest line; the match is then under way.
    bool playing() {
        auto line = process_.readLine(std::chrono::seconds(20));
        if (line && line->rfind("tick ", 0) == 0) digests_.push_back(*line);
        return line.has_value();
    }

  private:
    Process process_;
    bool collected_ = false;
    std::vector<std::string> digests_;
};

const std::vector<std::string> relayOptions = {"--players", "3", "--tick-ms", "2",
                                               "--timeout", "5", "--seed",    "21"};

struct LineFaults {
    const char* name;
    Faults faults;
};

Faults with(void (*set)(Faults&)) {
    Faults f;
    set(f);
    return f;
}

const LineFaults lineFaults[] = {
    {"None", Faults{}},
    {"Delay", with([](Faults& f) { f.delay = std::chrono::milliseconds(15); })},
    {"Jitter", with([](Faults& f) { f.jitter = std::chrono::milliseconds(20); })},
    {"SingleBytes", with([](Faults& f) {
         f.singleBytes = true;
         f.byteGap = std::chrono::microseconds(100);
     })},
    {"AllAtOnce", with([](Faults& f) {
         f.delay = std::chrono::milliseconds(5);
         f.jitter = std::chrono::milliseconds(10);
         f.singleBytes = true;
         f.seed = 77;
     })},
};

class FaultyLineTest : public ::testing::TestWithParam<LineFaults> {};

// Two bots behind the proxy and one on a direct line.
TEST_P(FaultyLineTest, EveryBotComputesTheSameMatch) {
    constexpr int ticks = 150;
    MapFolder data;
    RelayProcess relay(relayOptions);
    ProxyThread proxy(relay.port(), GetParam().faults);
    std::vector<std::unique_ptr<Bot>> bots;
    bots.push_back(std::make_unique<Bot>(proxy.port(), data, ticks, 1));
    bots.push_back(std::make_unique<Bot>(relay.port(), data, ticks, 2));
    bots.push_back(std::make_unique<Bot>(proxy.port(), data, ticks, 3));
    for (auto& bot : bots) {
        ASSERT_EQ(bot->wait(std::chrono::seconds(60)), std::optional<int>(0)) << bot->err();
    }
    ASSERT_EQ(bots[0]->digests().size(), static_cast<std::size_t>(ticks / 5));
    EXPECT_EQ(bots[1]->digests(), bots[0]->digests());
    EXPECT_EQ(bots[2]->digests(), bots[0]->digests());
    EXPECT_EQ(proxy.proxy().connectionsAccepted(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyLineTest, ::testing::ValuesIn(lineFaults),
                         [](const auto& info) { return std::string(info.param.name); });

/// The bot behind the cut line ended with status 1 within 5 s, its last line naming the lost
/// connection; the others finished with the same digests as each other.
void expectCleanCut(Bot& cut, Bot& a, Bot& b) {
    auto status = cut.wait(std::chrono::seconds(5));
    ASSERT_TRUE(status) << "the bot behind the cut line still runs";
    EXPECT_EQ(*status, 1);
    std::string err = cut.err();
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
    EXPECT_NE(err.find("brallo-bot: "), std::string::npos) << err;
    ASSERT_EQ(a.wait(std::chrono::seconds(60)), std::optional<int>(0)) << a.err();
    ASSERT_EQ(b.wait(std::chrono::seconds(60)), std::optional<int>(0)) << b.err();
    EXPECT_FALSE(a.digests().empty());
    EXPECT_EQ(a.digests(), b.digests());
    // Up to the cut the bot behind it saw the same match.
    for (std::size_t i = 0; i < cut.digests().size() && i < a.digests().size(); ++i)
        EXPECT_EQ(cut.digests()[i], a.digests()[i]);
}

TEST(CutLineTest, CutDuringPlayEndsOnlyTheBotBehindIt) {
    MapFolder data;
    RelayProcess relay(relayOptions);
    ProxyThread proxy(relay.port(), Faults{});
    Bot behind(proxy.port(), data, 400, 1), a(relay.port(), data, 400, 2),
        b(relay.port(), data, 400, 3);
    ASSERT_TRUE(behind.playing()) << behind.err();
    proxy.proxy().cutAll();
    expectCleanCut(behind, a, b);
    EXPECT_EQ(proxy.proxy().connectionsCut(), 1u);
    EXPECT_TRUE(relay.waitForLines("dropped at tick", 1));
}

TEST(CutLineTest, CutInsideAMessageDuringPlay) {
    MapFolder data;
    RelayProcess relay(relayOptions);
    Faults faults;
    faults.cutAfterBytes = 1001;  // past the setup, somewhere in the ticks
    ProxyThread proxy(relay.port(), faults);
    Bot behind(proxy.port(), data, 400, 1), a(relay.port(), data, 400, 2),
        b(relay.port(), data, 400, 3);
    expectCleanCut(behind, a, b);
    EXPECT_TRUE(relay.waitForLines("dropped at tick", 1));
}

TEST(CutLineTest, CutDuringSetupFreesTheNumberForTheNextBot) {
    MapFolder data;
    RelayProcess relay(relayOptions);
    Faults faults;
    faults.cutAfterBytes = 30;  // inside the answers to the first questions
    ProxyThread proxy(relay.port(), faults);
    Bot behind(proxy.port(), data, 100, 1);
    auto status = behind.wait(std::chrono::seconds(5));
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 1);
    EXPECT_TRUE(relay.waitForLines("left before the start", 1));
    Bot a(relay.port(), data, 100, 2), b(relay.port(), data, 100, 3), c(relay.port(), data, 100, 4);
    for (Bot* bot : {&a, &b, &c})
        ASSERT_EQ(bot->wait(std::chrono::seconds(60)), std::optional<int>(0)) << bot->err();
    EXPECT_EQ(a.digests(), b.digests());
    EXPECT_EQ(a.digests(), c.digests());
}

TEST(CutLineTest, CutAfterAWhileEndsCleanly) {
    MapFolder data;
    RelayProcess relay(relayOptions);
    Faults faults;
    faults.cutAfter = std::chrono::milliseconds(500);
    faults.delay = std::chrono::milliseconds(3);
    ProxyThread proxy(relay.port(), faults);
    Bot behind(proxy.port(), data, 1000, 1), a(relay.port(), data, 1000, 2),
        b(relay.port(), data, 1000, 3);
    expectCleanCut(behind, a, b);
}

}  // namespace
}  // namespace brallo::hostile
