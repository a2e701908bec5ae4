// The weapon table, the registry, acquiring, and the projectiles a shot creates.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

struct TableRow {
    const char32_t* name;
    const Weapon* weapon;
    Weapon::Power power;
    int32_t ammo, speed, coolDown;
    Color color;
    int32_t size;
    std::vector<int32_t> ySpeeds;
    int32_t yAcc;
};

class WeaponTable : public testing::TestWithParam<TableRow> {};

TEST_P(WeaponTable, ParametersAndRegistry) {
    const TableRow& r = GetParam();
    const Weapon& w = *r.weapon;
    EXPECT_EQ(weapons().at(r.name), &w);
    EXPECT_EQ(w.power, r.power);
    EXPECT_EQ(w.ammo(), r.ammo);
    EXPECT_EQ(w.speed, r.speed);
    EXPECT_EQ(w.coolDown, r.coolDown);
    EXPECT_EQ(w.color, r.color);
    EXPECT_EQ(w.size, r.size);
    EXPECT_EQ(std::vector<int32_t>(w.ySpeeds.begin(), w.ySpeeds.end()), r.ySpeeds);
    EXPECT_EQ(w.yAcc.a, r.yAcc);
    EXPECT_FALSE(w.throughWalls);

    Thing pr = w.projectile();
    EXPECT_EQ(pr.pos, Vec<int32_t>());
    EXPECT_EQ(pr.speed.x.a, r.speed * 1024);
    EXPECT_EQ(pr.speed.y.a, 0);
    EXPECT_EQ(pr.color, r.color);
    EXPECT_EQ(pr.size, r.size);
    EXPECT_EQ(pr.owner, -1);
    EXPECT_EQ(pr.kind, ThingKind::projectile);
    EXPECT_EQ(pr.weapon, &w);
    EXPECT_EQ(pr.acceleration, Vec<Fint>());
}

using P = Weapon::Power;
INSTANTIATE_TEST_SUITE_P(
    Table, WeaponTable,
    testing::Values(
        TableRow{U"fireBall", &fireBall, P::big, 5, 7, 40, {255, 0, 0}, 5, {}, 0},
        TableRow{U"ultraBall", &ultraBall, P::heavy, 1, 5, 30, {255, 100, 20}, 7, {}, 0},
        TableRow{U"lightAttack", &lightAttack, P::medium, 10, 12, 30, {255, 220, 20}, 3, {}, 0},
        TableRow{U"miniBall", &miniBall, P::small, 20, 7, 5, {120, 220, 20}, 1, {}, 0},
        TableRow{U"purpleBall", &purpleBall, P::medium, 10, 6, 65, {255, 0, 230}, 4, {-2, 0, 2}, 0},
        TableRow{U"fallBall", &fallBall, P::big, 5, 5, 40, {10, 10, 230}, 7, {-3}, 204}));

TEST(Weapons, RegistryHoldsExactlyTheSixAndIndicesAreDistinct) {
    EXPECT_EQ(weapons().size(), 6u);
    EXPECT_EQ(weapons().count(U"FireBall"), 0u);
    std::set<int32_t> indices;
    for (const auto& [name, w] : weapons()) indices.insert(weaponIndex(w));
    EXPECT_EQ(indices, (std::set<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(weaponIndex(nullptr), -1);
}

TEST(Acquire, ReplacesWeaponAndAmmoButNotCoolDown) {
    Player p;
    p.acquire(fireBall);
    p.ammo = 3;
    p.coolDown = 17;
    p.acquire(ultraBall);
    EXPECT_EQ(p.weapon, &ultraBall);
    EXPECT_EQ(p.ammo, 1);
    EXPECT_EQ(p.coolDown, 17);
}

struct ShotCase {
    const Weapon* weapon;
    bool looksLeft, crouching;
    int32_t ammoBefore, ammoAfter;
    // Expected projectiles in table order: position and raw speeds.
    struct Pr {
        int32_t x, y, sx, sy;
    };
    std::vector<Pr> projectiles;
};

class Shoot : public testing::TestWithParam<ShotCase> {};

TEST_P(Shoot, PlacesProjectilesAndSpendsAmmo) {
    const ShotCase& c = GetParam();
    World w = testing_support::worldWith(2);
    Player& p = w.players[1];
    p.pos = {100, 365};
    p.looksLeft = c.looksLeft;
    p.crouching = c.crouching;
    p.acquire(*c.weapon);
    p.ammo = c.ammoBefore;
    c.weapon->shoot(w, 1);
    EXPECT_EQ(p.ammo, c.ammoAfter);
    ASSERT_EQ(w.things.size(), c.projectiles.size());
    for (size_t i = 0; i < c.projectiles.size(); ++i) {
        const ThingContainer& tc = w.things[i];
        EXPECT_TRUE(tc.used);
        EXPECT_EQ(tc.t.pos, (Vec<int32_t>(c.projectiles[i].x, c.projectiles[i].y))) << i;
        EXPECT_EQ(tc.t.speed.x.a, c.projectiles[i].sx) << i;
        EXPECT_EQ(tc.t.speed.y.a, c.projectiles[i].sy) << i;
        EXPECT_EQ(tc.t.owner, 1);
        EXPECT_EQ(tc.t.weapon, c.weapon);
        EXPECT_EQ(tc.t.acceleration.y, c.weapon->yAcc);
        EXPECT_EQ(tc.t.acceleration.x.a, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Shoot,
    testing::Values(
        ShotCase{&fireBall, false, false, 5, 4, {{135, 369, 7168, 0}}},
        ShotCase{&fireBall, true, false, 5, 4, {{85, 369, -7168, 0}}},
        ShotCase{&fireBall, false, true, 5, 4, {{135, 379, 7168, 0}}},
        ShotCase{&ultraBall, false, false, 1, 0, {{137, 369, 5120, 0}}},
        ShotCase{&miniBall, true, false, 20, 19, {{89, 369, -7168, 0}}},
        ShotCase{&lightAttack, false, false, 10, 9, {{133, 369, 12288, 0}}},
        ShotCase{&purpleBall,
                 false,
                 false,
                 10,
                 8,
                 {{134, 369, 6144, -2048}, {134, 369, 6144, 0}, {134, 369, 6144, 2048}}},
        // The last unit still fires all three projectiles.
        ShotCase{&purpleBall,
                 true,
                 false,
                 1,
                 0,
                 {{86, 369, -6144, -2048}, {86, 369, -6144, 0}, {86, 369, -6144, 2048}}},
        ShotCase{&fallBall, false, false, 5, 4, {{137, 369, 5120, -3072}}}));

TEST(Shoot, FireBallMovesOnceInTheSameTick) {
    World w = testing_support::worldWith(1);
    Player& p = w.players[0];
    p.pos = {100, 365};
    p.speed = {};
    p.shooting = true;
    p.coolDown = 40;
    p.lastStood = 1;
    w.blocks.push_back(testing_support::floorBlock);
    movePlayers(w);
    EXPECT_EQ(p.coolDown, 0);
    EXPECT_EQ(p.ammo, 4);
    ASSERT_EQ(w.things.size(), 1u);
    EXPECT_EQ(w.things[0].t.pos, (Vec<int32_t>(135, 369)));
    resolvePlayers(w);
    resolveThings(w);
    EXPECT_EQ(w.things[0].t.pos, (Vec<int32_t>(142, 369)));
    EXPECT_TRUE(w.things[0].used);
}

TEST(Shoot, ProjectileTakesTheLowestFreeSlot) {
    World w = testing_support::worldWith(1);
    w.players[0].pos = {100, 365};
    for (int i = 0; i < 3; ++i) fireBall.shoot(w, 0);
    w.things[1].used = false;
    fireBall.shoot(w, 0);
    EXPECT_EQ(w.things.size(), 3u);
    EXPECT_TRUE(w.things[1].used);
}

TEST(FireRhythm, HeldFromTheFirstTickFiresEveryFortyTicksWhileAmmoLasts) {
    World w = testing_support::worldWith(1);
    w.blocks.push_back(testing_support::floorBlock);
    handleMessage(w, "__s", 0);
    std::vector<int> shotTicks;
    int32_t ammo = w.players[0].ammo;
    for (int tick = 1; tick <= 400; ++tick) {
        step(w);
        if (w.players[0].ammo != ammo) {
            shotTicks.push_back(tick);
            ammo = w.players[0].ammo;
        }
    }
    EXPECT_EQ(shotTicks, (std::vector<int>{41, 81, 121, 161, 201}));
    EXPECT_EQ(w.players[0].ammo, 0);
}

}  // namespace
}  // namespace brallo::game
