// Whole matches through real loopback sockets: message order, the configuration in pieces,
// matches kept apart, and gathering of clients into matches.
#include <gtest/gtest.h>

#include "scripted_client.h"

namespace brallo::relay::test {
namespace {

Options fastOptions(std::int32_t players) {
    Options options;
    options.players = players;
    options.tick = std::chrono::milliseconds(1);
    return options;
}

// A distinct command per player and tick, so a misrouted command shows.
std::string commandOf(int player, int tick) {
    return {static_cast<char>('a' + player), static_cast<char>('0' + tick % 10), '_'};
}

TEST(RelayMatch, ThreePlayersGetSetupAnswersAndTicksInExactOrder) {
    Options options = fastOptions(3);
    options.seed = 4242;
    ServerThread server(options);
    std::vector<std::unique_ptr<ScriptedClient>> clients;
    for (int p = 0; p < 3; ++p) {
        clients.push_back(std::make_unique<ScriptedClient>(server.port()));
        EXPECT_EQ(clients[p]->setup(), (std::vector<std::string>{"3", std::to_string(p), "4242",
                                                                 std::string(builtinConfig)}));
        // Nobody gets anything after "ok" until the whole match is ready.
        if (p < 2) {
            EXPECT_EQ(clients[0]->receive(30ms), std::nullopt);
        }
    }
    for (auto& client : clients) EXPECT_EQ(client->receiveTick(), std::vector<std::string>{"GoOn"});

    for (int tick = 1; tick <= 5; ++tick) {
        for (int p = 0; p < 3; ++p) clients[p]->send(commandOf(p, tick));
        for (int p = 0; p < 3; ++p) {
            std::vector<std::string> expected;
            for (int other = 0; other < 3; ++other) {
                if (other == p) continue;
                expected.push_back(std::to_string(other));
                expected.push_back(commandOf(other, tick));
            }
            expected.push_back("GoOn");
            bool inOneRead = false;
            EXPECT_EQ(clients[p]->receiveTick(&inOneRead), expected) << "tick " << tick;
            EXPECT_TRUE(inOneRead) << "tick " << tick << " player " << p;
        }
    }
    clients.clear();
    EXPECT_TRUE(server.waitForLog("match 1 ended after 5 ticks"));
}

struct ConfigCase {
    const char* name;
    std::string text;
};

class RelayConfigPieces : public testing::TestWithParam<ConfigCase> {};

TEST_P(RelayConfigPieces, ArrivesWholeInPiecesOfAtMost255Bytes) {
    const std::string& config = GetParam().text;
    ServerThread server(fastOptions(1), config);
    ScriptedClient fresh(server.port());
    auto answers = fresh.setup();
    EXPECT_EQ(answers[3], config);
    for (const auto& piece : fresh.configPieces()) {
        EXPECT_LE(piece.size(), 255u);
        EXPECT_FALSE(piece.empty());
        EXPECT_NE(piece, ".") << "a piece \".\" would end the configuration early";
    }
    EXPECT_EQ(fresh.configPieces().size(), (config.size() + 254) / 255);
}

std::string longConfig(std::size_t size, char last) {
    std::string text;
    while (text.size() + 1 < size) text += "map arena\n";
    text.resize(size - 1);
    return text + last;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RelayConfigPieces,
    testing::Values(ConfigCase{"empty", ""}, ConfigCase{"oneByte", "x"},
                    ConfigCase{"exactly255", longConfig(255, '\n')},
                    ConfigCase{"longWithLineEnds", longConfig(700, '\n')},
                    // Plain 255-byte cutting would leave a last piece of just ".".
                    ConfigCase{"dotAfter255", longConfig(256, '.')},
                    ConfigCase{"dotAfter510", longConfig(511, '.')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RelayMatch, TwoMatchesAtOnceAreKeptApart) {
    ServerThread server(fastOptions(2));
    ScriptedClient a0(server.port()), a1(server.port()), b0(server.port()), b1(server.port());
    auto answersA0 = a0.setup(), answersB0 = b0.setup(), answersA1 = a1.setup(),
         answersB1 = b1.setup();
    EXPECT_EQ(answersA0[1], "0");
    EXPECT_EQ(answersA1[1], "1");
    EXPECT_EQ(answersB0[1], "0");
    EXPECT_EQ(answersB1[1], "1");
    EXPECT_EQ(answersA0[2], answersA1[2]) << "one seed per match";
    EXPECT_EQ(answersB0[2], answersB1[2]);
    EXPECT_NE(answersA0[2], answersB0[2]) << "a fresh seed per match";
    for (auto* c : {&a0, &a1, &b0, &b1})
        EXPECT_EQ(c->receiveTick(), std::vector<std::string>{"GoOn"});

    for (int tick = 1; tick <= 3; ++tick) {
        a0.send("A0_");
        a1.send("A1_");
        b0.send("B0_");
        b1.send("B1_");
        EXPECT_EQ(a0.receiveTick(), (std::vector<std::string>{"1", "A1_", "GoOn"}));
        EXPECT_EQ(a1.receiveTick(), (std::vector<std::string>{"0", "A0_", "GoOn"}));
        EXPECT_EQ(b0.receiveTick(), (std::vector<std::string>{"1", "B1_", "GoOn"}));
        EXPECT_EQ(b1.receiveTick(), (std::vector<std::string>{"0", "B0_", "GoOn"}));
    }
    // Match 1 stalls on a silent player; match 2 goes on.
    a0.send("A0_");
    for (int tick = 4; tick <= 6; ++tick) {
        b0.send("B0_");
        b1.send("B1_");
        EXPECT_EQ(b0.receiveTick(), (std::vector<std::string>{"1", "B1_", "GoOn"}));
        EXPECT_EQ(b1.receiveTick(), (std::vector<std::string>{"0", "B0_", "GoOn"}));
    }
    EXPECT_EQ(a0.receive(20ms), std::nullopt);
}

TEST(RelayMatch, FullMatchSendsTheNextClientToANewMatch) {
    ServerThread server(fastOptions(2));
    ScriptedClient c0(server.port()), c1(server.port()), c2(server.port());
    c2.send("count?");
    c2.send("me?");
    EXPECT_EQ(c2.receive(), "2");
    EXPECT_EQ(c2.receive(), "0");
    EXPECT_TRUE(server.waitForLog("client 3 joined match 2 as player 0"));
}

}  // namespace
}  // namespace brallo::relay::test
