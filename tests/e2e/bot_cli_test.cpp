// brallo-bot as a program: its exit status and messages for bad command lines and failures, and
// what it says to a scripted server tick by tick.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "harness.h"
#include "server.h"

namespace brallo::e2e {
namespace {

struct BotRun {
    std::optional<int> status;
    std::string out, err;
};

BotRun runBot(const ScratchDir& dir, const std::vector<std::string>& args,
              std::chrono::milliseconds limit = 20s) {
    Child::Launch launch;
    launch.argv = {botPath()};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    launch.outPath = dir.file("bot.out");
    launch.errPath = dir.file("bot.err");
    Child bot(launch);
    auto status = bot.wait(limit);
    return {status, bot.out(), bot.err()};
}

// A loopback port that nobody listens on: the system picks it, and it is closed again.
uint16_t unusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct BadCommandLine {
    const char* name;
    std::vector<std::string> args;
    const char* message;  ///< part of the error output
};

void PrintTo(const BadCommandLine& c, std::ostream* os) {
    *os << c.name;
}

class BotRejects : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(BotRejects, WithAMessageAndStatus2) {
    ScratchDir dir;
    writeFile(dir.file("short.txt"), "_r_\njr\n");
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args) {
        if (a == "SHORT") a = dir.file("short.txt");
    }
    BotRun run = runBot(dir, args);
    EXPECT_EQ(run.status, std::optional<int>(2));
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Options, BotRejects,
    ::testing::Values(
        BadCommandLine{"UnknownOption", {"--fast"}, "unknown option \"--fast\""},
        BadCommandLine{"MissingValue", {"--ticks"}, "--ticks needs a value"},
        BadCommandLine{"NegativeTicks", {"--ticks", "-1"}, "--ticks: expected a whole number"},
        BadCommandLine{"ZeroDigestInterval", {"--digest-every", "0"}, "--digest-every"},
        BadCommandLine{"SeedTooLarge", {"--random", "4294967296"}, "--random"},
        BadCommandLine{"TwoDrivers", {"--idle", "--ai"}, "only one of"},
        BadCommandLine{"TwoAddresses", {"a:1", "b:2"}, "already given"},
        BadCommandLine{"PortZero", {"localhost:0"}, "bad port"},
        BadCommandLine{"PortTooLarge", {":65536"}, "bad port"},
        BadCommandLine{"EmptyPort", {"localhost:"}, "bad port"},
        BadCommandLine{"FlagWithValue", {"--idle=1"}, "takes no value"},
        BadCommandLine{"ReplayWithServer", {"--replay", "x", "h:1"}, "no server address"},
        BadCommandLine{"ReplayWithDriver", {"--replay", "x", "--idle"}, "no driver"},
        BadCommandLine{"MissingScript", {"--script", "/nonexistent/s.txt"}, "Cannot read"},
        BadCommandLine{"ScriptLineNotACommand", {"--script", "SHORT"}, "script line 2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Bot, HelpListsTheOptions) {
    ScratchDir dir;
    BotRun run = runBot(dir, {"--help"});
    EXPECT_EQ(run.status, std::optional<int>(0));
    for (const char* option : {"--data", "--ai", "--random", "--script", "--idle", "--ticks",
                               "--digest-every", "--replay", "--print-players"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
}

TEST(Bot, NoServerIsAFailure) {
    ScratchDir dir;
    BotRun run = runBot(dir, {"127.0.0.1:" + std::to_string(unusedPort())});
    EXPECT_EQ(run.status, std::optional<int>(1));
    EXPECT_NE(run.err.find("Cannot connect"), std::string::npos) << run.err;
}

TEST(Bot, ABadRecordIsAFailure) {
    ScratchDir dir;
    writeFile(dir.file("rec.txt"), "not a record\n");
    BotRun run = runBot(dir, {"--replay", dir.file("rec.txt"), "--data", dataDir()});
    EXPECT_EQ(run.status, std::optional<int>(1));
    EXPECT_NE(run.err.find("record line 1"), std::string::npos) << run.err;
}

// A scripted server in the relay's place: the bot must ask the setup questions in order,
// answer each "GoOn" with its script's line for that tick, and report a closed connection.
class BotAgainstScriptedServer : public ::testing::Test {
  protected:
    void start(const std::vector<std::string>& extra) {
        writeFile(dir_.file("script.txt"), "_r_\njls\nc__\n");
        Child::Launch launch;
        launch.argv = {botPath(),        "127.0.0.1:" + std::to_string(server_.port()),
                       "--data",         dataDir(),
                       "--script",       dir_.file("script.txt"),
                       "--digest-every", "1"};
        launch.argv.insert(launch.argv.end(), extra.begin(), extra.end());
        launch.outPath = dir_.file("bot.out");
        launch.errPath = dir_.file("bot.err");
        bot_ = std::make_unique<Child>(launch);
        ASSERT_TRUE(server_.accept());
        ASSERT_TRUE(server_.serveSetup("2", "1", "0042", {"map map1\n"}));
    }

    ScratchDir dir_;
    testing::ScriptedServer server_;
    std::unique_ptr<Child> bot_;
};

TEST_F(BotAgainstScriptedServer, AnswersEachGoOnWithTheScriptThenIdles) {
    start({});
    const char* expected[] = {"_r_", "jls", "c__", "___", "___"};
    for (const char* command : expected) {
        server_.send("GoOn");
        EXPECT_EQ(server_.receive(), std::optional<std::string>(command));
        server_.send("0");
        server_.send("_l_");
    }
    server_.closeClient();
    EXPECT_EQ(bot_->wait(10s), std::optional<int>(1));
    EXPECT_NE(bot_->err().find("The server closed the connection after 5 ticks"), std::string::npos)
        << bot_->err();
    EXPECT_EQ(linesStarting(bot_->out(), "tick ").size(), 5u);
    EXPECT_EQ(linesStarting(bot_->out(), "summary ticks 5 points 0 0 endState none").size(), 1u)
        << bot_->out();
    EXPECT_NE(bot_->err().find("Seed: 0042"), std::string::npos);
}

TEST_F(BotAgainstScriptedServer, LeavesAfterItsTicksOnTheNextGoOn) {
    start({"--ticks", "2"});
    server_.send("GoOn");
    EXPECT_EQ(server_.receive(), std::optional<std::string>("_r_"));
    server_.send("GoOn");
    EXPECT_EQ(server_.receive(), std::optional<std::string>("jls"));
    // The last tick's commands come in before the bot leaves; it does not answer this "GoOn".
    server_.send("0");
    server_.send("jr_");
    server_.send("GoOn");
    EXPECT_EQ(server_.receive(1s), std::nullopt);
    EXPECT_EQ(bot_->wait(10s), std::optional<int>(0)) << bot_->err();
    EXPECT_EQ(linesStarting(bot_->out(), "tick ").size(), 2u);
    EXPECT_EQ(linesStarting(bot_->out(), "summary ticks 2 ").size(), 1u) << bot_->out();
}

TEST_F(BotAgainstScriptedServer, RefusesACommandForItself) {
    start({});
    server_.send("1");
    server_.send("_r_");
    EXPECT_EQ(bot_->wait(10s), std::optional<int>(1));
    EXPECT_NE(bot_->err().find("own player"), std::string::npos) << bot_->err();
}

}  // namespace
}  // namespace brallo::e2e
