// The player command: encoding from key flags and decoding into a player, bad input included.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

struct DecodeCase {
    std::string msg;
    bool jumping, crouching;
    Player::Dir dir;
    bool shooting;
};

class HandleMessage : public testing::TestWithParam<DecodeCase> {};

TEST_P(HandleMessage, SetsTheFourCommandFields) {
    const DecodeCase& c = GetParam();
    World w = testing_support::worldWith(2);
    // Start from the opposite of every expectation so each field must be written.
    Player& p = w.players[1];
    p.jumping = !c.jumping;
    p.crouching = !c.crouching;
    p.dir = c.dir == Player::Dir::Left ? Player::Dir::Right : Player::Dir::Left;
    p.shooting = !c.shooting;
    const Player before = w.players[0];
    handleMessage(w, c.msg, 1);
    EXPECT_EQ(p.jumping, c.jumping);
    EXPECT_EQ(p.crouching, c.crouching);
    EXPECT_EQ(p.dir, c.dir);
    EXPECT_EQ(p.shooting, c.shooting);
    EXPECT_EQ(w.players[0].dir, before.dir) << "only the named player changes";
}

using D = Player::Dir;
INSTANTIATE_TEST_SUITE_P(
    Table, HandleMessage,
    testing::Values(DecodeCase{"___", false, false, D::None, false},
                    DecodeCase{"cls", false, true, D::Left, true},
                    DecodeCase{"jr_", true, false, D::Right, false},
                    DecodeCase{"Jr_", false, false, D::Right, false},  // upper case is idle
                    DecodeCase{"xyz", false, false, D::None, false},
                    DecodeCase{"jlsj", true, false, D::Left, true},  // extra characters ignored
                    DecodeCase{"_RS", false, false, D::None, false},
                    DecodeCase{std::string("j\0s", 3), true, false, D::None, true}));

struct BadMessage {
    std::string msg;
    int32_t plnr;
    const char* mentions;
};

class HandleMessageRefuses : public testing::TestWithParam<BadMessage> {};

TEST_P(HandleMessageRefuses, WithAMessageNamingWhatItGot) {
    World w = testing_support::worldWith(2);
    const uint64_t before = digest(w);
    try {
        handleMessage(w, GetParam().msg, GetParam().plnr);
        FAIL() << "no error";
    } catch (const GameError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
    EXPECT_EQ(digest(w), before) << "a refused command changes nothing";
}

INSTANTIATE_TEST_SUITE_P(Table, HandleMessageRefuses,
                         testing::Values(BadMessage{"jrs", 2, "2"}, BadMessage{"jrs", -1, "-1"},
                                         BadMessage{"jrs", INT32_MIN, "-2147483648"},
                                         BadMessage{"jr", 0, "\"jr\""}, BadMessage{"", 1, "\"\""},
                                         BadMessage{std::string("j\n", 2), 0, "\"j\\x0A\""}));

TEST(HandleMessage, EmptyTableRefusesEveryNumber) {
    World w;
    EXPECT_THROW(handleMessage(w, "___", 0), GameError);
}

struct EncodeCase {
    std::vector<int> held;
    const char* command;
};

class EncodeCommand : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeCommand, FromKeyFlags) {
    std::array<uint8_t, 512> keys{};
    for (int k : GetParam().held) keys[static_cast<size_t>(k)] = 1;
    EXPECT_EQ(encodeCommand(keys.data(), static_cast<int>(keys.size())), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EncodeCommand,
    testing::Values(EncodeCase{{}, "___"}, EncodeCase{{scancodeUp}, "j__"},
                    EncodeCase{{scancodeDown}, "c__"},
                    EncodeCase{{scancodeUp, scancodeDown}, "j__"},
                    EncodeCase{{scancodeLeft}, "_l_"}, EncodeCase{{scancodeRight}, "_r_"},
                    EncodeCase{{scancodeLeft, scancodeRight}, "_l_"},
                    EncodeCase{{scancodeSpace}, "__s"},
                    EncodeCase{{scancodeDown, scancodeRight, scancodeSpace}, "crs"},
                    EncodeCase{{4, 5, 6, 43, 45}, "___"}));  // other keys mean nothing

TEST(EncodeCommand, KeysBeyondTheStateAreReleased) {
    std::array<uint8_t, 82> keys{};  // scancodeUp (82) is just past the end
    keys.fill(1);
    EXPECT_EQ(encodeCommand(keys.data(), static_cast<int>(keys.size())), "cls");
    EXPECT_EQ(encodeCommand(keys.data(), 0), "___");
    EXPECT_EQ(encodeCommand(nullptr, 512), "___");
}

TEST(EncodeCommand, NonZeroFlagCountsAsHeld) {
    std::array<uint8_t, 512> keys{};
    keys[scancodeSpace] = 0xFF;
    EXPECT_EQ(encodeCommand(keys.data(), 512), "__s");
}

}  // namespace
}  // namespace brallo::game
