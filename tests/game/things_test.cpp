// The projectile step: motion of things, order of hits, freeing and reuse of slots.
#include <gtest/gtest.h>

#include <vector>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

using testing_support::usedThings;
using testing_support::worldWith;

// A world with no players or blocks in the way and one thing in slot 0.
World withThing(Vec<Fint> speed, Vec<Fint> acceleration) {
    World w;
    Thing t = fallBall.projectile();
    t.pos = {1000, 1000};
    t.speed = speed;
    t.acceleration = acceleration;
    addThing(w.things, t);
    return w;
}

TEST(ResolveThings, ArcingProjectilePath) {
    World w = withThing({Fint(), Fint::raw(-3072)}, {Fint(), Fint::raw(204)});
    std::vector<int32_t> climbs;  // pixels moved upward on each tick (negative: downward)
    int32_t y = 1000;
    for (int tick = 1; tick <= 40; ++tick) {
        resolveThings(w);
        climbs.push_back(y - w.things[0].t.pos.y);
        y = w.things[0].t.pos.y;
        if (tick == 15) {
            EXPECT_EQ(1000 - y, 15) << "at the top";
        }
        if (tick == 30) {
            EXPECT_EQ(y, 1000) << "back at the start height";
        }
    }
    std::vector<int32_t> expected;
    expected.insert(expected.end(), 5, 2);
    expected.insert(expected.end(), 5, 1);
    expected.insert(expected.end(), 10, 0);
    expected.insert(expected.end(), 5, -1);
    expected.insert(expected.end(), 5, -2);
    expected.insert(expected.end(), 5, -3);
    expected.insert(expected.end(), 5, -4);
    EXPECT_EQ(climbs, expected);
}

TEST(ResolveThings, SpeedBelowOnePixelNeverMoves) {
    World w = withThing({Fint::raw(512), Fint()}, {});
    for (int i = 0; i < 100; ++i) resolveThings(w);
    EXPECT_EQ(w.things[0].t.pos, (Vec<int32_t>(1000, 1000)));
}

TEST(ResolveThings, LongFlightWrapsWithoutOverflow) {
    World w = withThing({Fint::raw(INT32_MAX), Fint()}, {});
    w.things[0].t.pos.x = INT32_MAX - 10;
    resolveThings(w);
    EXPECT_EQ(w.things[0].t.pos.x, static_cast<int32_t>(uint32_t{INT32_MAX} - 10u + 2097151u));
}

TEST(ResolveThings, LowerNumberedPlayerIsHitFirstAndOnlyOnce) {
    World w = worldWith(3);
    for (Player& p : w.players) p.pos = {500, 500};
    w.players[0].pos = {0, 0};  // out of the way
    Thing t = fireBall.projectile();
    t.speed = {};
    t.owner = 0;
    t.pos = {510, 510};
    addThing(w.things, t);
    resolveThings(w);
    EXPECT_FALSE(w.things[0].used);
    EXPECT_EQ(w.players[1].live, 2);
    EXPECT_EQ(w.players[2].live, 5);
}

TEST(ResolveThings, PlayerBeforeBlock) {
    World w = worldWith(1);
    w.players[0].pos = {500, 500};
    w.blocks.push_back(Block{{505, 505}, {50, 50}, false});
    Thing t = fireBall.projectile();
    t.speed = {};
    t.pos = {510, 510};
    addThing(w.things, t);
    resolveThings(w);
    EXPECT_FALSE(w.things[0].used);
    EXPECT_EQ(w.players[0].live, 2);
}

TEST(ResolveThings, BlockRemovesProjectile) {
    World w = worldWith(1);
    w.blocks.push_back(Block{{600, 0}, {10, 1000}, true});  // platforms count as blocks here
    Thing t = fireBall.projectile();
    t.pos = {585, 100};
    addThing(w.things, t);
    resolveThings(w);
    EXPECT_TRUE(w.things[0].used) << "columns 587..597 stop short of the block";
    resolveThings(w);
    EXPECT_FALSE(w.things[0].used);
}

TEST(ResolveThings, CrouchingBoxLetsAShotPassOverhead) {
    World w = worldWith(1);
    Player& p = w.players[0];
    p.pos = {500, 500};
    p.crouching = true;  // box rows 510..534
    Thing t = fireBall.projectile();
    t.speed = {};
    t.pos = {510, 504};  // rows 499..509
    addThing(w.things, t);
    resolveThings(w);
    EXPECT_TRUE(w.things[0].used);
    p.crouching = false;
    resolveThings(w);
    EXPECT_FALSE(w.things[0].used);
}

TEST(ResolveThings, FreedSlotIsNotVisitedAgainAndIsReusedNextTick) {
    World w = worldWith(2);
    w.players[0].pos = {500, 500};
    w.players[1].pos = {0, 0};
    w.players[1].looksLeft = false;
    Thing hitter = fireBall.projectile();
    hitter.speed = {};
    hitter.owner = 1;
    hitter.pos = {510, 510};
    Thing flyer = fireBall.projectile();
    flyer.pos = {-1000, -1000};
    addThing(w.things, hitter);
    addThing(w.things, flyer);
    resolveThings(w);
    EXPECT_FALSE(w.things[0].used);
    EXPECT_EQ(w.players[0].live, 2) << "one hit, not two";
    fireBall.shoot(w, 1);
    EXPECT_EQ(w.things.size(), 2u);
    EXPECT_TRUE(w.things[0].used);
    EXPECT_EQ(usedThings(w), 2);
}

}  // namespace
}  // namespace brallo::game
