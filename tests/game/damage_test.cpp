// Hits, invincibility, death and respawn, kill scoring, game modes and the end of the match.
#include "brallo/game/damage.h"

#include <gtest/gtest.h>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace brallo::game {
namespace {

constexpr char32_t noMode = 0xFFFF;

TEST(Damage, HitThatDoesNotKillGivesFiftyTicksOfInvincibility) {
    Player p;
    EXPECT_FALSE(p.damage(3, noMode));
    EXPECT_EQ(p.live, 2);
    EXPECT_EQ(p.invicible, 50);
    EXPECT_FALSE(p.damage(3, noMode));
    EXPECT_EQ(p.live, 2) << "a hit while invincible does nothing";
}

TEST(Damage, KillRespawnsAndKeepsSpeedWeaponAndAmmo) {
    Player p;
    p.acquire(miniBall);
    p.ammo = 7;
    p.live = 1;
    p.pos = {555, 66};
    p.speed = {Fint::raw(-1234), Fint::raw(6130)};
    p.coolDown = 12;
    p.lastStood = 9;
    p.looksLeft = true;
    p.dir = Player::Dir::Left;
    p.shooting = true;
    p.points = 2;
    EXPECT_TRUE(p.damage(4, noMode));
    EXPECT_EQ(p.pos, spawnPoint);
    EXPECT_EQ(p.live, 5);
    EXPECT_EQ(p.invicible, 100);
    EXPECT_EQ(p.speed, (Vec<Fint>{Fint::raw(-1234), Fint::raw(6130)}));
    EXPECT_EQ(p.weapon, &miniBall);
    EXPECT_EQ(p.ammo, 7);
    EXPECT_EQ(p.coolDown, 12);
    EXPECT_EQ(p.lastStood, 9u);
    EXPECT_TRUE(p.looksLeft);
    EXPECT_EQ(p.dir, Player::Dir::Left);
    EXPECT_TRUE(p.shooting);
    EXPECT_EQ(p.points, 2) << "no mode: a death costs nothing";
}

struct HitsToKill {
    Weapon::Power power;
    int hits;
};

class HitsNeeded : public testing::TestWithParam<HitsToKill> {};

TEST_P(HitsNeeded, ByPower) {
    Player p;
    int hits = 0;
    bool killed = false;
    while (!killed && hits < 10) {
        p.invicible = 0;
        killed = p.damage(static_cast<int32_t>(GetParam().power), noMode);
        ++hits;
    }
    EXPECT_EQ(hits, GetParam().hits);
}

INSTANTIATE_TEST_SUITE_P(Table, HitsNeeded,
                         testing::Values(HitsToKill{Weapon::Power::small, 5},
                                         HitsToKill{Weapon::Power::medium, 3},
                                         HitsToKill{Weapon::Power::big, 2},
                                         HitsToKill{Weapon::Power::heavy, 2}));

TEST(Increment, InvincibilityRunsOutAndCountersGrow) {
    World w = testing_support::worldWith(1);
    Player& p = w.players[0];
    p.coolDown = 3;
    p.lastStood = 4;
    EXPECT_FALSE(p.damage(1, w.gameMode));
    for (int i = 0; i < 49; ++i) increment(w);
    EXPECT_EQ(p.invicible, 1);
    EXPECT_FALSE(p.damage(1, w.gameMode));
    EXPECT_EQ(p.live, 4) << "still protected after 49 ticks";
    for (int i = 0; i < 11; ++i) increment(w);
    EXPECT_EQ(p.invicible, 0);
    EXPECT_EQ(p.coolDown, 63);
    EXPECT_EQ(p.lastStood, 64u);
}

TEST(Increment, CountersWrapWithoutOverflow) {
    World w = testing_support::worldWith(1);
    w.players[0].coolDown = INT32_MAX;
    w.players[0].lastStood = UINT32_MAX;
    increment(w);
    EXPECT_EQ(w.players[0].coolDown, INT32_MIN);
    EXPECT_EQ(w.players[0].lastStood, 0u);
}

// A projectile hit through the weapon, as resolveThings makes it.
bool hit(World& w, const Weapon& weapon, int32_t owner, int32_t victim) {
    Thing t = weapon.projectile();
    t.owner = owner;
    return weapon.hitPlayer(w, t, w.players[static_cast<size_t>(victim)]);
}

// Kills `victim` once, with fresh vulnerability.
void kill(World& w, int32_t owner, int32_t victim) {
    Player& v = w.players[static_cast<size_t>(victim)];
    v.invicible = 0;
    v.live = 1;
    EXPECT_TRUE(hit(w, fireBall, owner, victim));
}

TEST(HitPlayer, ProjectileIsSpentEvenOnAnInvinciblePlayer) {
    World w = testing_support::worldWith(2);
    w.players[1].invicible = 10;
    EXPECT_TRUE(hit(w, fireBall, 0, 1));
    EXPECT_EQ(w.players[1].live, 5);
    EXPECT_TRUE(hit(w, fireBall, 0, 0)) << "its own shooter too";
}

struct SelfKillCase {
    char32_t mode;
    int32_t pointsBefore, pointsAfter;
};

class SelfKill : public testing::TestWithParam<SelfKillCase> {};

TEST_P(SelfKill, CostsAPointOnTopOfTheMode) {
    World w = testing_support::worldWith(2);
    w.gameMode = GetParam().mode;
    w.winPoints = GetParam().pointsBefore - 1;  // a self-kill never decides the match
    w.players[0].points = GetParam().pointsBefore;
    kill(w, 0, 0);
    EXPECT_EQ(w.players[0].points, GetParam().pointsAfter);
    EXPECT_EQ(w.endState, EndState::none);
}

INSTANTIATE_TEST_SUITE_P(Table, SelfKill,
                         testing::Values(SelfKillCase{U'm', 2, 0}, SelfKillCase{U's', 2, 0},
                                         SelfKillCase{noMode, 2, 1}, SelfKillCase{U'x', 2, 1},
                                         SelfKillCase{noMode, 0, 0}, SelfKillCase{U'M', 3, 2}));

struct VictimCase {
    char32_t mode;
    int32_t victimBefore, victimAfter;
};

class VictimPoints : public testing::TestWithParam<VictimCase> {};

TEST_P(VictimPoints, ByMode) {
    World w = testing_support::worldWith(2);
    w.gameMode = GetParam().mode;
    w.players[1].points = GetParam().victimBefore;
    kill(w, 0, 1);
    EXPECT_EQ(w.players[1].points, GetParam().victimAfter);
    EXPECT_EQ(w.players[0].points, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, VictimPoints,
                         testing::Values(VictimCase{U'm', 2, 1}, VictimCase{U'm', 0, 0},
                                         VictimCase{U's', 2, 0}, VictimCase{noMode, 2, 2}));

struct EndCase {
    int32_t myself;
    EndState expected;
};

class MatchEnd : public testing::TestWithParam<EndCase> {};

TEST_P(MatchEnd, DecidedOnceAndPerClient) {
    World w = testing_support::worldWith(2, GetParam().myself);
    kill(w, 1, 0);
    kill(w, 1, 0);
    EXPECT_EQ(w.endState, EndState::none);
    kill(w, 1, 0);
    EXPECT_EQ(w.players[1].points, 3);
    EXPECT_EQ(w.endState, GetParam().expected);
    for (int i = 0; i < 3; ++i) kill(w, 0, 1);
    EXPECT_EQ(w.players[0].points, 3);
    EXPECT_EQ(w.endState, GetParam().expected) << "the first winner stays";
}

INSTANTIATE_TEST_SUITE_P(Table, MatchEnd,
                         testing::Values(EndCase{1, EndState::win}, EndCase{0, EndState::lose}));

TEST(MatchEnd, ComingBackToExactlyWinPointsWins) {
    World w = testing_support::worldWith(2, 0);
    w.gameMode = U'm';
    kill(w, 0, 1);
    kill(w, 0, 1);
    kill(w, 1, 0);  // player 0 down to 1
    EXPECT_EQ(w.players[0].points, 1);
    kill(w, 0, 1);
    EXPECT_EQ(w.endState, EndState::none);
    kill(w, 0, 1);
    EXPECT_EQ(w.endState, EndState::win);
}

TEST(MatchEnd, NonPositiveWinPointsNeverDecides) {
    for (int32_t winPoints : {0, -1}) {
        World w = testing_support::worldWith(2, 0);
        w.winPoints = winPoints;
        for (int i = 0; i < 5; ++i) kill(w, 0, 1);
        EXPECT_EQ(w.endState, EndState::none);
    }
}

TEST(ScoreKill, OwnerOutsideTheTableScoresNothing) {
    World w = testing_support::worldWith(2, 0);
    w.winPoints = 1;
    for (int32_t owner : {-1, 2, INT32_MAX}) {
        kill(w, owner, 1);
        EXPECT_EQ(w.players[0].points + w.players[1].points, 0);
        EXPECT_EQ(w.endState, EndState::none);
    }
}

}  // namespace
}  // namespace brallo::game
