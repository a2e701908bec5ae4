// Rectangles, record geometry, the things table and match setup.
#include <gtest/gtest.h>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

struct CollideCase {
    Rect a, b;
    bool expected;
};

class Collide : public testing::TestWithParam<CollideCase> {};

TEST_P(Collide, InclusiveEdges) {
    const CollideCase& c = GetParam();
    EXPECT_EQ(collide(c.a, c.b), c.expected);
    EXPECT_EQ(collide(c.b, c.a), c.expected) << "collide must be symmetric";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Collide,
    testing::Values(CollideCase{{0, 0, 20, 35}, {20, 0, 10, 10}, false},  // adjacent columns
                    CollideCase{{0, 0, 20, 35}, {19, 0, 10, 10}, true},   // share column 19
                    CollideCase{{0, 0, 20, 35}, {0, 35, 10, 10}, false},  // adjacent rows
                    CollideCase{{0, 0, 20, 35}, {0, 34, 10, 10}, true},   // share row 34
                    CollideCase{{0, 0, 20, 35}, {5, 5, 2, 2}, true},      // inside
                    CollideCase{{0, 0, 20, 35}, {-10, 0, 10, 10}, false},
                    CollideCase{{0, 0, 20, 35}, {-10, 0, 11, 10}, true},
                    CollideCase{{0, 0, 20, 35}, {0, -10, 10, 10}, false}));

TEST(PlayerGeometry, CrouchingLowersOnlyTheTop) {
    Player p;
    p.pos = {100, 50};
    EXPECT_EQ(p.getBounds(), (Rect{100, 50, 20, 35}));
    EXPECT_EQ(bounds(p), p.getBounds());
    EXPECT_EQ(bottom(p), 84);
    EXPECT_EQ(right(p), 119);
    p.crouching = true;
    EXPECT_EQ(p.getBounds(), (Rect{100, 60, 20, 25}));
    EXPECT_EQ(bottom(p), 84);
    EXPECT_EQ(right(p), 119);
    EXPECT_EQ(top(p), 50);
    EXPECT_EQ(left(p), 100);
}

TEST(ThingGeometry, RectIsCentredSquare) {
    Thing t;
    t.size = 5;
    t.pos = {300, 40};
    EXPECT_EQ(t.rect(), (Rect{295, 35, 11, 11}));
}

TEST(BlockGeometry, SidesAreInclusive) {
    Block b{{0, 400}, {800, 20}, false};
    EXPECT_EQ(top(b), 400);
    EXPECT_EQ(bottom(b), 419);
    EXPECT_EQ(left(b), 0);
    EXPECT_EQ(right(b), 799);
    EXPECT_EQ(bounds(b), (Rect{0, 400, 800, 20}));
}

Thing thingAt(int32_t x) {
    Thing t;
    t.pos = {x, 0};
    return t;
}

TEST(AddThing, TakesTheFirstFreeSlotElseAppends) {
    std::vector<ThingContainer> tcs;
    addThing(tcs, thingAt(1));
    ASSERT_EQ(tcs.size(), 1u);
    EXPECT_TRUE(tcs[0].used);
    EXPECT_EQ(tcs[0].t.pos.x, 1);

    addThing(tcs, thingAt(2));
    addThing(tcs, thingAt(3));
    tcs[1].used = false;
    addThing(tcs, thingAt(4));
    ASSERT_EQ(tcs.size(), 3u);
    EXPECT_TRUE(tcs[1].used);
    EXPECT_EQ(tcs[1].t.pos.x, 4);
    EXPECT_EQ(tcs[2].t.pos.x, 3);

    addThing(tcs, thingAt(5));
    ASSERT_EQ(tcs.size(), 4u);
    EXPECT_EQ(tcs[3].t.pos.x, 5);
}

TEST(SetupPlayers, EveryPlayerStartsAtSpawnWithFireBall) {
    World w = testing_support::worldWith(3, 2);
    ASSERT_EQ(w.players.size(), 3u);
    EXPECT_EQ(w.myself, 2);
    for (const Player& p : w.players) {
        EXPECT_EQ(p.pos, (Vec<int32_t>(200, 200)));
        EXPECT_EQ(p.speed, Vec<Fint>());
        EXPECT_EQ(p.weapon, &fireBall);
        EXPECT_EQ(p.ammo, 5);
        EXPECT_EQ(p.live, 5);
        EXPECT_EQ(p.dir, Player::Dir::None);
        EXPECT_EQ(p.lastStood, 0u);
        EXPECT_EQ(p.coolDown, 0);
    }
}

struct BadSetup {
    int32_t count, myself;
    const char* mentions;
};

class SetupPlayersRefuses : public testing::TestWithParam<BadSetup> {};

TEST_P(SetupPlayersRefuses, WithAMessageNamingTheValue) {
    World w;
    try {
        setupPlayers(w, GetParam().count, GetParam().myself);
        FAIL() << "no error";
    } catch (const GameError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
    EXPECT_TRUE(w.players.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, SetupPlayersRefuses,
                         testing::Values(BadSetup{0, 0, "0"}, BadSetup{-3, 0, "-3"},
                                         BadSetup{INT32_MAX, 0, "2147483647"},
                                         BadSetup{maxPlayers + 1, 0, "1000001"},
                                         BadSetup{2, 2, "2"}, BadSetup{2, -1, "-1"}));

TEST(World, DefaultsOfTheSettings) {
    World w;
    EXPECT_EQ(w.myself, -1);
    EXPECT_EQ(w.winPoints, 3);
    EXPECT_EQ(w.gameMode, U'\uFFFF');
    EXPECT_EQ(w.endState, EndState::none);
    EXPECT_EQ(w.silverList, (WeaponList{&fireBall}));
    EXPECT_EQ(w.goldList, (WeaponList{&purpleBall}));
    std::mt19937 reference;
    EXPECT_EQ(w.rnd(), reference());
}

}  // namespace
}  // namespace brallo::game
