// Faulty clients through real loopback sockets: each fault drops only the faulty client, and
// the others go on in step, told once with "___" when the match had started.
#include <gtest/gtest.h>

#include <functional>

#include "scripted_client.h"

namespace brallo::relay::test {
namespace {

Options faultOptions() {
    Options options;
    options.players = 3;
    options.tick = std::chrono::milliseconds(1);
    options.timeout = std::chrono::milliseconds(300);
    return options;
}

std::string commandOf(int player, int tick) {
    return {static_cast<char>('a' + player), static_cast<char>('0' + tick % 10), '_'};
}

struct PlayFault {
    const char* name;
    std::function<void(ScriptedClient&, int tick)> misbehave;  ///< instead of the command
    const char* logged;                                        ///< part of the drop's log line
};

class RelayPlayFault : public testing::TestWithParam<PlayFault> {};

// Player 1 misbehaves in tick 3; players 0 and 2 get "1" "___" once, then nothing for it.
TEST_P(RelayPlayFault, OthersGoOnInStepAndHearOfTheDropOnce) {
    ServerThread server(faultOptions());
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    for (int p = 0; p < 3; ++p) {
        clients.push_back(std::make_unique<ScriptedClient>(server.port()));
        clients[p]->setup();
    }
    for (auto& client : clients) ASSERT_EQ(client->receiveTick(), std::vector<std::string>{"GoOn"});
    for (int tick = 1; tick <= 5; ++tick) {
        for (int p = 0; p < 3; ++p) {
            if (p == 1 && tick == 3) GetParam().misbehave(*clients[1], tick);
            if (p == 1 && tick >= 3) continue;
            clients[p]->send(commandOf(p, tick));
        }
        for (int p : {0, 2}) {
            std::vector<std::string> expected;
            for (int player = 0; player < 3; ++player) {
                if (player == p || (player == 1 && tick > 3)) continue;
                expected.push_back(std::to_string(player));
                expected.push_back(player == 1 && tick == 3 ? "___" : commandOf(player, tick));
            }
            expected.push_back("GoOn");
            EXPECT_EQ(clients[p]->receiveTick(), expected) << "tick " << tick << " player " << p;
        }
        if (tick < 3) clients[1]->receiveTick();
    }
    EXPECT_TRUE(clients[1]->connectionGone());
    EXPECT_TRUE(server.waitForLog("player 1 (client 2) dropped at tick 3: " +
                                  std::string(GetParam().logged)));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RelayPlayFault,
    testing::Values(
        PlayFault{"disconnect", [](ScriptedClient& c, int) { c.close(); }, "disconnected"},
        PlayFault{"longCommand", [](ScriptedClient& c, int) { c.send("j__s"); },
                  "protocol break: command \"j__s\" is not 3 bytes"},
        PlayFault{"shortCommand", [](ScriptedClient& c, int) { c.send("j_"); },
                  "protocol break: command \"j_\" is not 3 bytes"},
        PlayFault{"secondCommandBeforeGoOn",
                  [](ScriptedClient& c, int) {
                      c.send("j__");
                      c.send("c__");
                  },
                  "protocol break: \"c__\" out of turn"},
        PlayFault{"silence", [](ScriptedClient&, int) {}, "no command within 300 ms after GoOn"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SetupFault {
    const char* name;
    std::function<void(ScriptedClient&)> misbehave;
    const char* logged;
};

class RelaySetupFault : public testing::TestWithParam<SetupFault> {};

// Player 1 fails its setup: its number goes to the next client, and the match that starts has
// no trace of it.
TEST_P(RelaySetupFault, FreesThePlayerNumberForTheNextClient) {
    ServerThread server(faultOptions());
    ScriptedClient first(server.port()), faulty(server.port());
    first.setup();
    GetParam().misbehave(faulty);
    EXPECT_TRUE(faulty.connectionGone());
    EXPECT_TRUE(server.waitForLog("player 1 (client 2) left before the start, number freed: " +
                                  std::string(GetParam().logged)));
    ScriptedClient replacement(server.port());
    EXPECT_EQ(replacement.setup()[1], "1");
    ScriptedClient third(server.port());
    EXPECT_EQ(third.setup()[1], "2");
    for (auto* c : {&first, &replacement, &third})
        EXPECT_EQ(c->receiveTick(), std::vector<std::string>{"GoOn"});
    first.send("a1_");
    replacement.send("b1_");
    third.send("c1_");
    EXPECT_EQ(first.receiveTick(), (std::vector<std::string>{"1", "b1_", "2", "c1_", "GoOn"}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RelaySetupFault,
    testing::Values(SetupFault{"disconnect",
                               [](ScriptedClient& c) {
                                   c.send("count?");
                                   c.receive();
                                   c.close();
                               },
                               "disconnected"},
                    SetupFault{"questionOutOfOrder", [](ScriptedClient& c) { c.send("seed?"); },
                               "protocol break: expected \"count?\", got \"seed?\""},
                    SetupFault{"questionRepeated",
                               [](ScriptedClient& c) {
                                   c.send("count?");
                                   c.send("count?");
                               },
                               "protocol break: expected \"me?\", got \"count?\""},
                    SetupFault{"messageAfterOk",
                               [](ScriptedClient& c) {
                                   c.setup();
                                   c.send("j__");
                               },
                               "protocol break: \"j__\" while waiting for the match to start"},
                    SetupFault{"silence", [](ScriptedClient&) {},
                               "setup not finished within 300 ms"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RelayFault, ClientThatNeverReadsIsDroppedAndTheServerGoesOn) {
    Options options = faultOptions();
    options.players = 1;
    options.timeout = std::chrono::milliseconds(5000);
    // A configuration of 1 MiB that is never read overflows an output cap of 64 KiB (the cap is
    // 1 MiB in the real server); the client's small receive buffer keeps the kernel from taking
    // it all.
    ServerThread server(options, std::string(1 << 20, 'x'), 64 << 10);
    ScriptedClient greedy(server.port(), 4096);
    greedy.send("count?");
    greedy.send("me?");
    greedy.send("seed?");
    greedy.send("config?");
    EXPECT_TRUE(server.waitForLog("bytes of output not read"));
    ScriptedClient next(server.port());
    EXPECT_EQ(next.setup()[0], "1");
}

TEST(RelayFault, LastClientGoneEndsTheMatch) {
    Options options = faultOptions();
    options.players = 2;
    ServerThread server(options);
    auto a = std::make_unique<ScriptedClient>(server.port());
    auto b = std::make_unique<ScriptedClient>(server.port());
    a->setup();
    b->setup();
    a->receiveTick();
    b->receiveTick();
    a->send("___");
    b->send("___");
    a->receiveTick();
    b->receiveTick();
    a.reset();
    b->send("___");
    EXPECT_EQ(b->receiveTick(), (std::vector<std::string>{"0", "___", "GoOn"}));
    b->send("___");
    EXPECT_EQ(b->receiveTick(), std::vector<std::string>{"GoOn"});
    b.reset();
    EXPECT_TRUE(server.waitForLog("match 1 ended after 3 ticks"));
}

}  // namespace
}  // namespace brallo::relay::test
