// Whole matches on loopback: a relay and several bots with different drivers must hold the same
// world tick by tick, the relay's record must replay to the same worlds, and a bot that dies in
// the middle must not take the others out of step.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <set>

#include "harness.h"

namespace brallo::e2e {
namespace {

constexpr int64_t matchTicks = 3000;
constexpr int64_t digestEvery = 25;

std::string summaryOf(const std::string& out) {
    auto found = linesStarting(out, "summary ");
    return found.empty() ? "" : found.back();
}

// The summary without the endState, which is each player's own verdict.
std::string pointsOf(const std::string& out) {
    std::string s = summaryOf(out);
    return s.substr(0, s.find(" endState"));
}

std::unique_ptr<Child> startBot(const ScratchDir& dir, const std::string& name,
                                const std::vector<std::string>& args) {
    Child::Launch launch;
    launch.argv = {botPath()};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    launch.outPath = dir.file(name + ".out");
    launch.errPath = dir.file(name + ".err");
    return std::make_unique<Child>(launch);
}

std::string replay(const ScratchDir& dir, const std::string& record, const std::string& name) {
    auto bot = startBot(
        dir, name,
        {"--replay", record, "--data", dataDir(), "--digest-every", std::to_string(digestEvery)});
    auto status = bot->wait(30s);
    EXPECT_EQ(status, std::optional<int>(0)) << bot->err();
    return bot->out();
}

// A script that walks, jumps and fires in both directions, shorter than the match so that the
// bot idles ("___") after it.
std::string walkingScript() {
    std::string script;
    const char* pattern[] = {"_r_", "jr_", "_rs", "___", "_l_", "jl_", "_ls", "c_s"};
    for (int i = 0; i < 800; ++i) script += std::string(pattern[(i / 25) % 8]) + "\n";
    return script;
}

struct BotResult {
    std::optional<int> status;
    std::string out, err;
};

// Four bots with different drivers (ai, random, script, idle) play one match of matchTicks
// ticks; the relay records it. One match serves every check below: each ctest run is a
// process of its own, so a match shared between tests would be played once per test.
TEST(FourBotMatch, BotsAgreeTickByTickAndTheRecordReplaysToTheSameDigests) {
    ScratchDir dir;
    writeFile(dir.file("walk.txt"), walkingScript());
    // One kill decides the match early: from then on each bot's own verdict (win or lose)
    // differs, and the digest lines must still agree.
    writeFile(dir.file("config.txt"),
              "mode m\nmap map1\nwinPoints 1\ngoldList {purpleBall}\nsilverList {fireBall}\n");
    Relay relay(dir, 4, 1, 20240611, dir.file("config.txt"));
    const std::vector<std::vector<std::string>> drivers = {
        {"--ai"}, {"--random", "99"}, {"--script", dir.file("walk.txt")}, {"--idle"}};
    std::vector<std::unique_ptr<Child>> bots;
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        std::vector<std::string> args = {relay.address(),
                                         "--data",
                                         dataDir(),
                                         "--ticks",
                                         std::to_string(matchTicks),
                                         "--digest-every",
                                         std::to_string(digestEvery)};
        args.insert(args.end(), drivers[i].begin(), drivers[i].end());
        bots.push_back(startBot(dir, "bot" + std::to_string(i), args));
        // One at a time, so that bot i is player i and the match is the same on every run.
        const std::string joined = "as player " + std::to_string(i);
        ASSERT_TRUE(waitUntil(
            [&] { return relay.process().err().find(joined) != std::string::npos; }, 10s));
    }
    std::vector<BotResult> results;
    for (auto& bot : bots) results.push_back({bot->wait(90s), bot->out(), bot->err()});

    {
        SCOPED_TRACE("determinism");
        for (const BotResult& r : results) {
            ASSERT_EQ(r.status, std::optional<int>(0)) << r.err;
            EXPECT_EQ(linesStarting(r.out, "tick ").size(),
                      static_cast<std::size_t>(matchTicks / digestEvery))
                << r.out;
            EXPECT_EQ(
                summaryOf(r.out).rfind("summary ticks " + std::to_string(matchTicks) + " ", 0), 0u)
                << r.out;
        }
        const auto reference = linesStarting(results[0].out, "tick ");
        for (std::size_t i = 1; i < results.size(); ++i) {
            EXPECT_EQ(linesStarting(results[i].out, "tick "), reference) << "bot " << i;
            EXPECT_EQ(pointsOf(results[i].out), pointsOf(results[0].out)) << "bot " << i;
        }
        // The world changed during the match: the digests are not one value repeated.
        std::set<std::string> distinct(reference.begin(), reference.end());
        EXPECT_GT(distinct.size(), reference.size() / 2);
    }
    {
        SCOPED_TRACE("the end of the match: one winner, the others lose");
        std::vector<std::string> states;
        for (const BotResult& r : results) {
            std::string s = summaryOf(r.out);
            states.push_back(s.substr(s.find(" endState ") + 10));
        }
        EXPECT_EQ(std::count(states.begin(), states.end(), "win"), 1);
        EXPECT_EQ(std::count(states.begin(), states.end(), "lose"), 3);
    }
    {
        SCOPED_TRACE("replay");
        std::string record = relay.recordFile();
        ASSERT_FALSE(record.empty()) << "the relay wrote no record";
        std::string out = replay(dir, record, "replay");
        EXPECT_EQ(linesStarting(out, "tick "), linesStarting(results[0].out, "tick "));
        // Every bot waited for the last tick's commands before leaving, so even the final
        // worlds agree.
        EXPECT_EQ(pointsOf(out), pointsOf(results[0].out));
    }
}

TEST(KilledBot, TheOthersGoOnInStep) {
    ScratchDir dir;
    Relay relay(dir, 3, 1, 777);
    const int64_t ticks = 1500;
    auto botArgs = [&](const std::string& driver, const std::string& seed) {
        std::vector<std::string> args = {relay.address(),
                                         "--data",
                                         dataDir(),
                                         "--ticks",
                                         std::to_string(ticks),
                                         "--digest-every",
                                         std::to_string(digestEvery),
                                         driver};
        if (!seed.empty()) args.push_back(seed);
        return args;
    };
    auto ai = startBot(dir, "ai", botArgs("--ai", ""));
    auto random = startBot(dir, "random", botArgs("--random", "5"));
    auto victim = startBot(dir, "victim", botArgs("--random", "6"));

    ASSERT_TRUE(
        waitUntil([&] { return victim->out().find("tick 500 ") != std::string::npos; }, 60s))
        << victim->err();
    victim->signal(SIGKILL);
    EXPECT_EQ(victim->wait(10s), std::optional<int>(128 + SIGKILL));

    ASSERT_EQ(ai->wait(60s), std::optional<int>(0)) << ai->err();
    ASSERT_EQ(random->wait(60s), std::optional<int>(0)) << random->err();
    const auto lines = linesStarting(ai->out(), "tick ");
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(ticks / digestEvery));
    EXPECT_EQ(linesStarting(random->out(), "tick "), lines);
    // Up to its death the victim agreed with them.
    const auto victimLines = linesStarting(victim->out(), "tick ");
    ASSERT_GE(victimLines.size(), 500u / digestEvery);
    ASSERT_LE(victimLines.size(), lines.size());
    EXPECT_TRUE(std::equal(victimLines.begin(), victimLines.end(), lines.begin()));
    EXPECT_NE(relay.process().err().find("dropped"), std::string::npos);

    // The record marks the drop, and its replay agrees with the survivors.
    std::string out = replay(dir, relay.recordFile(), "replay");
    EXPECT_EQ(linesStarting(out, "tick "), lines);
    EXPECT_EQ(pointsOf(out), pointsOf(ai->out()));
}

}  // namespace
}  // namespace brallo::e2e
