// The real client under a virtual X server against one bot: keys pressed in its window reach
// the bot's world through the relay, and the client's SIGTERM leaves the bot playing on. The
// relay's record tells what the client sent; its replay is the simulation's prediction.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "harness.h"
#include "relay/record.h"

namespace brallo::e2e {
namespace {

// Xvfb on the first display number that nobody holds; stopped with the object.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const ScratchDir& dir) {
        for (int n = 91; n < 160 && !child_; ++n) {
            std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (std::filesystem::exists(lock) || std::filesystem::exists(socket)) continue;
            Child::Launch launch;
            launch.argv = {xvfbPath(), ":" + std::to_string(n), "-screen",
                           "0",        "1024x768x24",           "-nolisten",
                           "tcp"};
            launch.outPath = dir.file("xvfb.out");
            launch.errPath = dir.file("xvfb.err");
            auto xvfb = std::make_unique<Child>(launch);
            bool up =
                waitUntil([&] { return std::filesystem::exists(socket) || !xvfb->running(); }, 10s);
            if (up && xvfb->running()) {
                child_ = std::move(xvfb);
                name_ = ":" + std::to_string(n);
            }
        }
    }
    ~VirtualDisplay() {
        if (child_) {
            child_->signal(SIGTERM);
            child_->wait(5s);
        }
    }
    bool up() const { return child_ != nullptr; }
    const std::string& name() const { return name_; }

    static std::string xvfbPath() { return findProgram("Xvfb"); }
    static std::string findProgram(const std::string& name) {
        for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
            std::string path = std::string(dir) + "/" + name;
            if (::access(path.c_str(), X_OK) == 0) return path;
        }
        return "";
    }

  private:
    std::unique_ptr<Child> child_;
    std::string name_;
};

// One xdotool command on the display; its standard output.
std::string xdotool(const ScratchDir& dir, const std::string& display,
                    const std::vector<std::string>& args) {
    Child::Launch launch;
    launch.argv = {VirtualDisplay::findProgram("xdotool")};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    launch.outPath = dir.file("xdotool.out");
    launch.errPath = dir.file("xdotool.err");
    launch.env = {"DISPLAY=" + display};
    Child tool(launch);
    tool.wait(10s);
    return tool.out();
}

// "tick T player 0 pos X Y ammo A points P" -> T -> the line's fields.
struct PlayerLine {
    int64_t x = 0, y = 0, ammo = 0;
};
std::map<int64_t, PlayerLine> playerZero(const std::string& out) {
    static const std::regex line(R"(tick (\d+) player 0 pos (-?\d+) (-?\d+) ammo (-?\d+) .*)");
    std::map<int64_t, PlayerLine> result;
    for (const std::string& l : lines(out)) {
        std::smatch m;
        if (std::regex_match(l, m, line)) {
            result[std::stoll(m[1])] = {std::stoll(m[2]), std::stoll(m[3]), std::stoll(m[4])};
        }
    }
    return result;
}

int64_t tickOf(const std::string& line) {
    return std::stoll(line.substr(5, line.find(' ', 5) - 5));  // "tick T ..."
}

TEST(RealClient, KeysReachTheBotAndTheBotOutlivesTheClient) {
    if (clientPath().empty()) GTEST_SKIP() << "the client is not part of this build";
    if (VirtualDisplay::xvfbPath().empty() || VirtualDisplay::findProgram("xdotool").empty()) {
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    }
    ScratchDir dir;
    VirtualDisplay display(dir);
    ASSERT_TRUE(display.up()) << readFile(dir.file("xvfb.err"));

    Relay relay(dir, 2, 16, 4242);
    Child::Launch clientLaunch;
    clientLaunch.argv = {clientPath()};
    clientLaunch.workDir = dataDir();
    // The client keeps its SDL objects until the process ends, by design; in a sanitizer build
    // the leak report at exit would turn its status 0 into 1.
    clientLaunch.env = {"DISPLAY=" + display.name(), "SDL_AUDIODRIVER=dummy",
                        "ASAN_OPTIONS=detect_leaks=0"};
    clientLaunch.input = relay.address() + "\n";
    clientLaunch.outPath = dir.file("client.out");
    clientLaunch.errPath = dir.file("client.err");
    Child client(clientLaunch);
    // The client asks first, so it is player 0.
    ASSERT_TRUE(waitUntil(
        [&] { return relay.process().err().find("as player 0") != std::string::npos; }, 20s))
        << client.err();

    Child::Launch botLaunch;
    botLaunch.argv = {botPath(), relay.address(),  "--data", dataDir(),
                      "--idle",  "--digest-every", "1",      "--print-players"};
    botLaunch.outPath = dir.file("bot.out");
    botLaunch.errPath = dir.file("bot.err");
    Child bot(botLaunch);

    ASSERT_TRUE(waitUntil([&] { return client.out().find("main loop") != std::string::npos; }, 30s))
        << client.out() << client.err();
    std::string window;
    ASSERT_TRUE(waitUntil(
        [&] {
            auto found =
                lines(xdotool(dir, display.name(),
                              {"search", "--onlyvisible", "--pid", std::to_string(client.pid())}));
            if (!found.empty()) window = found.front();
            return !found.empty();
        },
        20s));

    // Past the first weapon's cool-down, so that the first shot fires at once.
    ASSERT_TRUE(
        waitUntil([&] { return bot.out().find("tick 60 digest") != std::string::npos; }, 20s))
        << bot.err();

    // No window manager: the keyboard goes to the window under the pointer.
    xdotool(dir, display.name(), {"mousemove", "--window", window, "400", "300"});
    std::this_thread::sleep_for(300ms);
    xdotool(dir, display.name(), {"keydown", "Right"});
    std::this_thread::sleep_for(700ms);
    xdotool(dir, display.name(), {"keyup", "Right"});
    xdotool(dir, display.name(), {"keydown", "space"});
    std::this_thread::sleep_for(300ms);
    xdotool(dir, display.name(), {"keyup", "space"});
    std::this_thread::sleep_for(300ms);

    client.signal(SIGTERM);
    EXPECT_EQ(client.wait(15s), std::optional<int>(0)) << client.err();

    // The relay names the tick at which it dropped player 0; the bot must play well past it.
    static const std::regex dropped(R"(player 0 \(client \d+\) dropped at tick (\d+))");
    std::smatch m;
    std::string relayLog;
    ASSERT_TRUE(waitUntil(
        [&] {
            relayLog = relay.process().err();
            return std::regex_search(relayLog, m, dropped);
        },
        15s))
        << relayLog;
    const int64_t dropTick = std::stoll(m[1]);
    const std::string goneOn = "tick " + std::to_string(dropTick + 60) + " digest";
    ASSERT_TRUE(waitUntil([&] { return bot.out().find(goneOn) != std::string::npos; }, 20s))
        << bot.err();
    bot.signal(SIGTERM);
    ASSERT_EQ(bot.wait(10s), std::optional<int>(0)) << bot.err();
    ASSERT_TRUE(waitUntil(
        [&] { return relay.process().err().find("ended after") != std::string::npos; }, 10s));

    // What the client sent, as the relay recorded it.
    std::ifstream recordFile(relay.recordFile(), std::ios::binary);
    relay::Recording record = relay::readRecording(recordFile);
    ASSERT_EQ(record.players, 2);
    int64_t rightTicks = 0, firstShot = 0;
    for (std::size_t t = 0; t < record.ticks.size(); ++t) {
        const std::string& command = record.ticks[t][0];
        if (command.size() == 3 && command[1] == 'r') ++rightTicks;
        if (command.size() == 3 && command[2] == 's' && firstShot == 0) {
            firstShot = static_cast<int64_t>(t) + 1;
        }
    }
    EXPECT_GE(rightTicks, 10) << "the held Right key did not reach the relay";
    ASSERT_GT(firstShot, 0) << "the Space key did not reach the relay";
    for (std::size_t t = static_cast<std::size_t>(dropTick); t < record.ticks.size(); ++t) {
        EXPECT_EQ(record.ticks[t][0], "") << "player 0 is not marked dropped at tick " << t + 1;
    }

    // The bot saw player 0 move right and fire: its ammunition drops at the step after the
    // command with "s" was applied, and a projectile appears.
    const std::string botOut = bot.out();
    auto zero = playerZero(botOut);
    ASSERT_FALSE(zero.empty()) << botOut;
    EXPECT_GT(zero.rbegin()->second.x, 200 + 10);
    const int64_t fullAmmo = zero.begin()->second.ammo;
    ASSERT_TRUE(zero.count(firstShot + 1));
    EXPECT_EQ(zero[firstShot].ammo, fullAmmo);
    EXPECT_EQ(zero[firstShot + 1].ammo, fullAmmo - 1);
    bool projectile = false;
    for (const std::string& l : linesStarting(botOut, "tick ")) {
        if (l.find(" projectiles ") != std::string::npos && l.substr(l.size() - 2) != " 0") {
            projectile = true;
        }
    }
    EXPECT_TRUE(projectile);

    // The simulation's prediction: a replay of the recorded commands gives the bot's worlds,
    // player 0's position included, tick by tick.
    Child::Launch replayLaunch;
    replayLaunch.argv = {botPath(),        "--replay", relay.recordFile(), "--data", dataDir(),
                         "--digest-every", "1",        "--print-players"};
    replayLaunch.outPath = dir.file("replay.out");
    replayLaunch.errPath = dir.file("replay.err");
    Child replay(replayLaunch);
    ASSERT_EQ(replay.wait(30s), std::optional<int>(0)) << replay.err();
    const auto replayed = linesStarting(replay.out(), "tick ");
    ASSERT_FALSE(replayed.empty());
    const int64_t lastReplayed = tickOf(replayed.back());
    EXPECT_GE(lastReplayed, dropTick + 50);
    std::vector<std::string> seen;
    for (const std::string& l : linesStarting(botOut, "tick ")) {
        if (tickOf(l) <= lastReplayed) seen.push_back(l);
    }
    EXPECT_EQ(seen, replayed);
}

}  // namespace
}  // namespace brallo::e2e
