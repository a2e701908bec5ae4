// Player movement and block collision: the pieces, and whole scenarios on a floor.
#include "brallo/game/movement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

using testing_support::floorBlock;

struct AccelerateCase {
    int32_t from, target, q, to;
};

class Accelerate : public testing::TestWithParam<AccelerateCase> {};

TEST_P(Accelerate, ClosesPartOfTheGap) {
    Fint f = Fint::raw(GetParam().from);
    accelerate(f, GetParam().target, GetParam().q);
    EXPECT_EQ(f.a, GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Accelerate,
    testing::Values(AccelerateCase{0, 6, 15, 409}, AccelerateCase{6130, 6, 15, 6130},
                    AccelerateCase{6130, -5, 2, 505}, AccelerateCase{3071, 0, 16, 2880},
                    AccelerateCase{0, 3, 2, 1536}, AccelerateCase{-100, 0, 1, 0},
                    // A divisor below 1 counts as 1.
                    AccelerateCase{0, 3, 0, 3072}, AccelerateCase{0, -3, -7, -3072},
                    AccelerateCase{0, 3, INT32_MIN, 3072}));

TEST(Sides, OppositeCompAndSpeed) {
    EXPECT_EQ(opposite(Side::top), Side::bottom);
    EXPECT_EQ(opposite(Side::bottom), Side::top);
    EXPECT_EQ(opposite(Side::left), Side::right);
    EXPECT_EQ(opposite(Side::right), Side::left);
    EXPECT_TRUE(compOf(Side::top, 2, 1));
    EXPECT_TRUE(compOf(Side::left, 2, 1));
    EXPECT_FALSE(compOf(Side::right, 2, 1));
    EXPECT_FALSE(compOf(Side::bottom, 2, 1));
    EXPECT_FALSE(compOf(Side::top, 1, 1));
    EXPECT_FALSE(compOf(Side::bottom, 1, 1));
    Player p;
    p.pos = {10, 20};
    p.speed = {Fint::raw(-1025), Fint::raw(3071)};
    EXPECT_EQ(speedOf(Side::left, p), -1);
    EXPECT_EQ(speedOf(Side::right, p), -1);
    EXPECT_EQ(speedOf(Side::top, p), 2);
    EXPECT_EQ(speedOf(Side::bottom, p), 2);
    EXPECT_EQ(sideOf(Side::right, p), 29);
    EXPECT_EQ(sideOf(Side::bottom, p), 54);
    EXPECT_EQ(sideOf(Side::right, floorBlock), 799);
    EXPECT_EQ(sideOf(Side::top, floorBlock), 400);
}

struct AdjustCase {
    Side side;
    int32_t add;
    Vec<int32_t> pos;
    int32_t speedX, speedY;  // raw, after
};

class Adjust : public testing::TestWithParam<AdjustCase> {};

TEST_P(Adjust, MovesOutAndClampsNegativeSpeed) {
    Player p;
    p.pos = {100, 100};
    p.speed = {Fint::raw(-500), Fint::raw(-700)};
    if (GetParam().side == Side::right) p.speed.x.a = 800;
    if (GetParam().side == Side::bottom) p.speed.y.a = 900;
    adjust(GetParam().side, p, GetParam().add);
    EXPECT_EQ(p.pos, GetParam().pos);
    EXPECT_EQ(p.speed.x.a, GetParam().speedX);
    EXPECT_EQ(p.speed.y.a, GetParam().speedY);
}

INSTANTIATE_TEST_SUITE_P(Table, Adjust,
                         testing::Values(AdjustCase{Side::top, 3, {100, 104}, -500, 0},
                                         AdjustCase{Side::left, 3, {104, 100}, 0, -700},
                                         AdjustCase{Side::right, -3, {96, 100}, 800, -700},
                                         AdjustCase{Side::bottom, -3, {100, 96}, -500, 900}));

// A world with one player standing steadily on the floor, at x = 100.
World standing() {
    World w;
    setupPlayers(w, 1, 0);
    w.blocks.push_back(floorBlock);
    w.players[0].pos = {100, 200};
    for (int i = 0; i < 100; ++i) step(w);
    return w;
}

TEST(Movement, SteadyStanding) {
    World w = standing();
    Player& p = w.players[0];
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(p.speed.y.a, 6130);
        EXPECT_EQ(p.lastStood, 1u);
        movePlayers(w);
        EXPECT_EQ(p.pos.y, 370);
        resolvePlayers(w);
        EXPECT_EQ(p.pos.y, 365);
        EXPECT_EQ(p.lastStood, 0u);
        resolveThings(w);
        increment(w);
        EXPECT_EQ(p.lastStood, 1u);
    }
}

TEST(Movement, WalkingReachesTwoPixelsPerTick) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "_r_", 0);
    std::vector<int32_t> speeds, moves;
    for (int tick = 0; tick < 14; ++tick) {
        int32_t x = p.pos.x;
        step(w);
        speeds.push_back(p.speed.x.a);
        moves.push_back(p.pos.x - x);
    }
    EXPECT_EQ(speeds, (std::vector<int32_t>{1536, 2304, 2688, 2880, 2976, 3024, 3048, 3060, 3066,
                                            3069, 3070, 3071, 3071, 3071}));
    EXPECT_EQ(moves.front(), 1);
    EXPECT_TRUE(std::all_of(moves.begin() + 1, moves.end(), [](int32_t m) { return m == 2; }));
    EXPECT_FALSE(p.looksLeft);
    EXPECT_EQ(p.pos.y, 365);
}

TEST(Movement, LettingGoSlides23PixelsOver17Ticks) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "_r_", 0);
    for (int tick = 0; tick < 30; ++tick) step(w);
    ASSERT_EQ(p.speed.x.a, 3071);
    handleMessage(w, "___", 0);
    const int32_t start = p.pos.x;
    std::vector<int32_t> speeds;
    int lastMove = 0;
    for (int tick = 1; tick <= 60; ++tick) {
        int32_t x = p.pos.x;
        step(w);
        speeds.push_back(p.speed.x.a);
        if (p.pos.x != x) lastMove = tick;
    }
    EXPECT_EQ(std::vector<int32_t>(speeds.begin(), speeds.begin() + 4),
              (std::vector<int32_t>{2880, 2700, 2532, 2374}));
    EXPECT_EQ(p.pos.x - start, 23);
    EXPECT_EQ(lastMove, 17);
    EXPECT_GT(p.speed.x.a, 0) << "stands still with a speed below one pixel";
}

TEST(Movement, FallingFromSpawnLandsOnTick45) {
    World w;
    setupPlayers(w, 1, 0);
    w.blocks.push_back(floorBlock);
    Player& p = w.players[0];
    std::vector<int32_t> speeds;
    int landed = 0;
    for (int tick = 1; tick <= 100 && landed == 0; ++tick) {
        step(w);
        if (speeds.size() < 4) speeds.push_back(p.speed.y.a);
        if (p.lastStood == 1 && p.pos.y == 365) landed = tick;
    }
    EXPECT_EQ(speeds, (std::vector<int32_t>{409, 791, 1147, 1480}));
    EXPECT_EQ(landed, 45);
    for (int i = 0; i < 100; ++i) step(w);
    EXPECT_EQ(p.speed.y.a, 6130);
}

TEST(Movement, FullJumpRisesTo279) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "j__", 0);
    std::vector<int32_t> ys;
    int32_t fastestRise = 0;
    for (int tick = 1; tick <= 80; ++tick) {
        step(w);
        ys.push_back(p.pos.y);
        fastestRise = std::min(fastestRise, p.speed.y.a);
    }
    EXPECT_EQ(*std::min_element(ys.begin(), ys.end()), 279);
    EXPECT_EQ(std::find(ys.begin(), ys.end(), 279) - ys.begin() + 1, 26);
    EXPECT_EQ(std::count(ys.begin(), ys.end(), 279), 6);
    EXPECT_EQ(fastestRise, -5119);
    EXPECT_NE(std::find(ys.begin() + 26, ys.end(), 365), ys.end())
        << "comes down to the floor again";
}

TEST(Movement, OneTickTapDoesNotLift) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "j__", 0);
    step(w);
    EXPECT_EQ(p.speed.y.a, 505);
    handleMessage(w, "___", 0);
    for (int tick = 0; tick < 50; ++tick) {
        EXPECT_EQ(p.pos.y, 365);
        step(w);
    }
}

TEST(Movement, FiveTicksOfJumpLiftAtMost25) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "j__", 0);
    int32_t highest = p.pos.y;
    for (int tick = 1; tick <= 60; ++tick) {
        if (tick == 6) handleMessage(w, "___", 0);
        step(w);
        highest = std::min(highest, p.pos.y);
    }
    EXPECT_GT(365 - highest, 0);
    EXPECT_LE(365 - highest, 25);
}

TEST(Movement, CornerWallBeatsLanding) {
    World w;
    setupPlayers(w, 1, 0);
    w.blocks.push_back(Block{{100, 400}, {100, 20}, false});
    Player& p = w.players[0];
    p.pos = {79, 362};
    p.speed = {Fint::raw(3071), Fint::raw(4000)};
    p.lastStood = 10;
    p.dir = Player::Dir::Right;
    movePlayers(w);
    EXPECT_EQ(p.pos, (Vec<int32_t>(81, 366)));
    resolvePlayers(w);
    EXPECT_EQ(p.pos.x, 80);
    EXPECT_EQ(p.pos.y, 366);
    EXPECT_EQ(p.speed.x.a, 3071);
    EXPECT_EQ(p.lastStood, 10u) << "did not land";
}

// A player at `pos` with vertical raw speed `vy` (fixed while the test watches few ticks).
World around(Block block, Vec<int32_t> pos, int32_t vy, uint32_t lastStood) {
    World w;
    setupPlayers(w, 1, 0);
    w.blocks.push_back(block);
    w.players[0].pos = pos;
    w.players[0].speed.y.a = vy;
    w.players[0].lastStood = lastStood;
    return w;
}

TEST(Movement, RisingThroughAPlatform) {
    World w = around(Block{{0, 300}, {800, 10}, true}, {100, 320}, -4096, 1);
    handleMessage(w, "j__", 0);
    std::vector<int32_t> ys;
    for (int tick = 0; tick < 15; ++tick) {
        step(w);
        ys.push_back(w.players[0].pos.y);
    }
    EXPECT_TRUE(std::is_sorted(ys.rbegin(), ys.rend())) << "never pushed back down";
    EXPECT_LT(ys.back(), 300 - 35) << "all the way through";
}

TEST(Movement, HeadBumpOnASolidBlock) {
    World w = around(Block{{0, 300}, {800, 10}, false}, {100, 312}, -4096, 1);
    handleMessage(w, "j__", 0);
    step(w);
    EXPECT_EQ(w.players[0].pos.y, 310);
    EXPECT_EQ(w.players[0].speed.y.a, 0);
}

TEST(Movement, LandingOnAPlatformFromAbove) {
    World w = around(Block{{0, 300}, {800, 10}, true}, {100, 250}, 4096, 30);
    int landed = 0;
    for (int tick = 1; tick <= 20 && landed == 0; ++tick) {
        step(w);
        if (w.players[0].lastStood == 1) landed = tick;
    }
    EXPECT_GT(landed, 0);
    EXPECT_EQ(w.players[0].pos.y, 265);
    handleMessage(w, "c__", 0);
    for (int i = 0; i < 20; ++i) step(w);
    EXPECT_EQ(w.players[0].pos.y, 265) << "crouching does not drop through";
}

TEST(Movement, WalkingSidewaysThroughAPlatform) {
    World w = standing();
    w.blocks.push_back(Block{{130, 360}, {10, 10}, true});
    handleMessage(w, "_r_", 0);
    for (int i = 0; i < 40; ++i) step(w);
    EXPECT_GT(w.players[0].pos.x, 150);
    EXPECT_EQ(w.players[0].pos.y, 365);
}

TEST(Movement, WallStopsLeftwardWalk) {
    World w = standing();
    w.blocks.push_back(Block{{60, 300}, {10, 100}, false});
    handleMessage(w, "_l_", 0);
    for (int i = 0; i < 40; ++i) step(w);
    EXPECT_EQ(w.players[0].pos.x, 70);
    EXPECT_TRUE(w.players[0].looksLeft);
}

TEST(Movement, CrouchingTurnsButSlowsDown) {
    World w = standing();
    Player& p = w.players[0];
    handleMessage(w, "_r_", 0);
    for (int i = 0; i < 20; ++i) step(w);
    ASSERT_FALSE(p.looksLeft);
    handleMessage(w, "cl_", 0);
    step(w);
    EXPECT_TRUE(p.looksLeft);
    EXPECT_EQ(p.speed.x.a, 2880) << "slows down with divisor lastStood + 15";
}

TEST(Movement, CommandBeforeTheFirstTickDoesNotDivideByZero) {
    World w;
    setupPlayers(w, 1, 0);
    ASSERT_EQ(w.players[0].lastStood, 0u);
    handleMessage(w, "_r_", 0);
    step(w);
    EXPECT_EQ(w.players[0].speed.x.a, 3072);
    EXPECT_EQ(w.players[0].pos.x, 203);
}

TEST(Movement, EndlessFallWrapsLastStoodWithoutDividingByZero) {
    for (uint32_t lastStood : {0x80000000u, 0xFFFFFFF1u, 0xFFFFFFFFu}) {
        World w;
        setupPlayers(w, 1, 0);
        w.players[0].lastStood = lastStood;
        w.players[0].dir = lastStood == 0xFFFFFFF1u ? Player::Dir::None : Player::Dir::Left;
        step(w);
        EXPECT_LE(w.players[0].speed.x.a, 0) << lastStood;
    }
}

TEST(Movement, PositionWrapsInsteadOfOverflowing) {
    World w;
    setupPlayers(w, 1, 0);
    w.players[0].pos.y = INT32_MAX - 2;
    w.players[0].speed.y.a = 6130;
    movePlayers(w);
    EXPECT_EQ(w.players[0].pos.y, INT32_MIN + 2);
}

}  // namespace
}  // namespace brallo::game
