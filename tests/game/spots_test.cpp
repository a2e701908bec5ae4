// Weapon spots: the uniform draw, the pickup and the list a spot keeps.
#include "brallo/game/spots.h"

#include <gtest/gtest.h>

#include <vector>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

using testing_support::worldWith;

struct DrawCase {
    uint32_t n;
    std::vector<uint32_t> outputs;
    uint32_t index;
    size_t used;  // outputs consumed
};

class DrawBelow : public testing::TestWithParam<DrawCase> {};

TEST_P(DrawBelow, RejectsOnlyTheCutShortBucket) {
    const DrawCase& c = GetParam();
    size_t next = 0;
    auto source = [&] { return c.outputs.at(next++); };
    EXPECT_EQ(drawBelow(source, c.n), c.index);
    EXPECT_EQ(next, c.used);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrawBelow,
    testing::Values(DrawCase{3, {4294967295u, 7}, 1, 2},  // bucket front 4294967295 > 4294967293
                    DrawCase{3, {4294967292u}, 0, 1},  // front 4294967292 is the last whole bucket
                    DrawCase{3, {4294967294u}, 2, 1},
                    DrawCase{3, {4294967295u, 4294967295u, 5}, 2, 3},
                    DrawCase{1, {4294967295u}, 0, 1},  // a single weapon still takes one output
                    DrawCase{6, {13}, 1, 1},
                    DrawCase{0x80000001u, {0x80000001u, 0x80000000u}, 0x80000000u, 2}));

TEST(UniformIndex, TakesOneOutputOfTheGenerator) {
    std::mt19937 a(42), b(42);
    const uint32_t i = uniformIndex(a, 5);
    EXPECT_EQ(i, static_cast<uint32_t>(b()) % 5);
    EXPECT_EQ(a, b);
}

// A world whose player `plnr` stands on a spot at (300, 300).
struct SpotWorld : testing::Test {
    World w = worldWith(2);

    void place(int32_t plnr) { w.players[static_cast<size_t>(plnr)].pos = {290, 280}; }
    void addSpot(bool gold) { addThing(w.things, weaponSpot(w, {300, 300}, gold)); }
};

TEST_F(SpotWorld, SilverAndGoldSpotsLookAsTheyShould) {
    Thing silver = weaponSpot(w, {300, 300}, false);
    Thing gold = weaponSpot(w, {10, 20}, true);
    EXPECT_EQ(silver.color, (Color{150, 150, 200}));
    EXPECT_EQ(gold.color, (Color{200, 180, 130}));
    EXPECT_EQ(silver.rect(), (Rect{294, 294, 13, 13}));
    EXPECT_EQ(gold.pos, (Vec<int32_t>(10, 20)));
    EXPECT_EQ(gold.owner, -1);
    EXPECT_EQ(gold.speed, Vec<Fint>());
    EXPECT_EQ(gold.acceleration, Vec<Fint>());
    EXPECT_EQ(gold.kind, ThingKind::weaponSpot);
}

TEST_F(SpotWorld, PlayerWithAmmoDrawsNothing) {
    addSpot(false);
    place(0);
    w.players[0].ammo = 3;
    w.silverList = {&miniBall};
    const std::mt19937 before = w.rnd;
    resolveThings(w);
    EXPECT_EQ(w.rnd, before);
    EXPECT_EQ(w.players[0].weapon, &fireBall);
    EXPECT_EQ(w.players[0].ammo, 3);
    EXPECT_TRUE(w.things[0].used);
}

struct PickupCase {
    bool gold;
    const Weapon* expected;
    int32_t ammo;
};

class Pickup : public SpotWorld, public testing::WithParamInterface<PickupCase> {};

TEST_P(Pickup, EmptyHandedPlayerTakesTheWeaponWithFullAmmo) {
    addSpot(GetParam().gold);
    place(1);
    w.players[1].ammo = 0;
    std::mt19937 expectedRnd = w.rnd;
    expectedRnd.discard(1);
    resolveThings(w);
    EXPECT_EQ(w.rnd, expectedRnd) << "exactly one output";
    EXPECT_EQ(w.players[1].weapon, GetParam().expected);
    EXPECT_EQ(w.players[1].ammo, GetParam().ammo);
    EXPECT_TRUE(w.things[0].used) << "spots stay";
    resolveThings(w);
    EXPECT_EQ(w.rnd, expectedRnd) << "standing on the spot draws once";
}

INSTANTIATE_TEST_SUITE_P(Table, Pickup,
                         testing::Values(PickupCase{false, &fireBall, 5},
                                         PickupCase{true, &purpleBall, 10}));

TEST_F(SpotWorld, OnlyTheFirstOfTwoOverlappingSpotsGives) {
    w.silverList = {&miniBall};
    addSpot(false);
    w.silverList = {&ultraBall};
    addSpot(false);
    place(0);
    w.players[0].ammo = 0;
    std::mt19937 expectedRnd = w.rnd;
    expectedRnd.discard(1);
    resolveThings(w);
    EXPECT_EQ(w.players[0].weapon, &miniBall);
    EXPECT_EQ(w.rnd, expectedRnd);
}

TEST_F(SpotWorld, TwoPlayersOnOneSpotDrawInPlayerOrder) {
    w.goldList = {&fireBall, &ultraBall, &lightAttack, &miniBall, &purpleBall, &fallBall};
    addSpot(true);
    place(0);
    place(1);
    w.players[0].ammo = 0;
    w.players[1].ammo = 0;
    std::mt19937 copy = w.rnd;
    const uint32_t first = uniformIndex(copy, 6);
    const uint32_t second = uniformIndex(copy, 6);
    resolveThings(w);
    EXPECT_EQ(w.players[0].weapon, w.goldList[first]);
    EXPECT_EQ(w.players[1].weapon, w.goldList[second]);
    EXPECT_EQ(w.rnd, copy);
}

TEST_F(SpotWorld, SpotKeepsTheListItWasMadeWith) {
    addSpot(true);
    w.goldList = {&miniBall};
    addSpot(true);
    w.things[1].t.pos = {5000, 5000};
    place(0);
    w.players[0].ammo = 0;
    resolveThings(w);
    EXPECT_EQ(w.players[0].weapon, &purpleBall);
    w.players[0].pos = {4990, 4980};
    w.players[0].ammo = 0;
    resolveThings(w);
    EXPECT_EQ(w.players[0].weapon, &miniBall);
}

TEST_F(SpotWorld, EqualListsShareOneEntry) {
    Thing a = weaponSpot(w, {0, 0}, false);
    Thing b = weaponSpot(w, {9, 9}, false);
    w.goldList = {&fireBall};
    Thing c = weaponSpot(w, {9, 9}, true);
    Thing d = weaponSpot(w, {9, 9}, true);
    EXPECT_EQ(w.spotLists.size(), 1u);
    EXPECT_EQ(a.spotList, b.spotList);
    EXPECT_EQ(c.spotList, a.spotList);
    EXPECT_EQ(d.spotList, a.spotList);
}

TEST_F(SpotWorld, EmptyListGivesNothingAndDrawsNothing) {
    w.silverList.clear();
    addSpot(false);
    place(0);
    w.players[0].ammo = 0;
    const std::mt19937 before = w.rnd;
    for (int i = 0; i < 3; ++i) resolveThings(w);
    EXPECT_EQ(w.rnd, before);
    EXPECT_EQ(w.players[0].ammo, 0);
    EXPECT_EQ(w.players[0].weapon, &fireBall);
    EXPECT_TRUE(w.things[0].used);
}

TEST_F(SpotWorld, SpotOverlappingABlockStays) {
    w.blocks.push_back(Block{{295, 295}, {100, 100}, false});
    addSpot(true);
    for (int i = 0; i < 3; ++i) resolveThings(w);
    EXPECT_TRUE(w.things[0].used);
    EXPECT_EQ(w.things[0].t.pos, (Vec<int32_t>(300, 300)));
}

TEST_F(SpotWorld, SpotWithABrokenListIndexGivesNothing) {
    addSpot(false);
    w.things[0].t.spotList = 7;
    place(0);
    w.players[0].ammo = 0;
    const std::mt19937 before = w.rnd;
    resolveThings(w);
    EXPECT_EQ(w.rnd, before);
    EXPECT_EQ(w.players[0].ammo, 0);
}

}  // namespace
}  // namespace brallo::game
