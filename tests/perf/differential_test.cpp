// The players' and the things' steps through the grid against the plain scan: random worlds
// (wrapping coordinates, odd block sizes, spots, many players) and random commands, digests
// compared after every tick.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "brallo/game/broadphase.h"
#include "brallo/game/movement.h"
#include "brallo/game/weapon.h"
#include "brallo/game/world.h"

namespace brallo::game {
namespace {

#if !defined(__OPTIMIZE__) || defined(__SANITIZE_ADDRESS__)
constexpr int fullTicks = 1'500;  // unoptimised and sanitized builds are many times slower
#else
constexpr int fullTicks = 10'000;
#endif

// Makes the same random choices for both worlds; every change goes to both.
class Scenery {
  public:
    explicit Scenery(uint32_t seed) : rnd_(seed) {}

    int32_t between(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rnd_);
    }
    bool chance(int percent) { return between(0, 99) < percent; }
    int32_t any() {
        return between(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    }

    /// Mostly on the map, some near either end of the int range, some anywhere.
    int32_t coordinate() {
        const int32_t kind = between(0, 99);
        if (kind < 10) return between(150, 250);  // around the spawn point, where the dead return
        if (kind < 70) return between(-300, 2300);
        if (kind < 80) return std::numeric_limits<int32_t>::max() - between(0, 3000);
        if (kind < 90) return std::numeric_limits<int32_t>::min() + between(0, 3000);
        return any();
    }

    int32_t blockSize() {
        const int32_t kind = between(0, 99);
        if (kind < 75) return between(1, 400);
        if (kind < 82) return between(-50, 0);
        if (kind < 90) return between(1 << 24, std::numeric_limits<int32_t>::max());
        return any();
    }

    Block block() {
        Block b;
        b.pos = {coordinate(), coordinate()};
        b.size = {blockSize(), blockSize()};
        b.platform = chance(30);
        return b;
    }

    Fint speed() { return Fint::raw(chance(90) ? between(-9000, 9000) : any()); }
    Fint acceleration() {
        const int32_t kind = between(0, 99);
        if (kind < 60) return Fint();
        if (kind < 95) return Fint::raw(between(-400, 400));
        return Fint::raw(any());
    }

    int32_t thingSize() {
        const int32_t kind = between(0, 99);
        if (kind < 85) return between(0, 8);
        if (kind < 92) return between(9, 3000);
        if (kind < 96) return between(-20, -1);
        return any();
    }

    /// A new thing, added to both worlds alike.
    void addThings(World& a, World& b) {
        const Vec<int32_t> pos{coordinate(), coordinate()};
        if (chance(10)) {
            const bool gold = chance(50);
            addThing(a.things, weaponSpot(a, pos, gold));
            addThing(b.things, weaponSpot(b, pos, gold));
            return;
        }
        Thing t;
        t.kind = ThingKind::projectile;
        t.pos = pos;
        t.speed = {speed(), speed()};
        t.acceleration = {acceleration(), acceleration()};
        t.size = thingSize();
        const auto& all = allWeapons();
        t.weapon = chance(5) ? nullptr : all[static_cast<size_t>(between(0, weaponCount - 1))];
        t.owner = between(-1, static_cast<int32_t>(a.players.size()));
        addThing(a.things, t);
        addThing(b.things, t);
    }

    std::string command() {
        static constexpr char first[] = "jc_", second[] = "lr_", third[] = "s_";
        return {first[between(0, 2)], second[between(0, 2)], third[between(0, 1)]};
    }

    WeaponList weaponList() {
        WeaponList list;
        const int32_t n = between(0, 3);
        for (int32_t i = 0; i < n; ++i)
            list.push_back(allWeapons()[static_cast<size_t>(between(0, weaponCount - 1))]);
        return list;
    }

  private:
    std::mt19937 rnd_;
};

struct Case {
    const char* name;
    uint32_t seed;
    int32_t players;
    int32_t blocks;
    int32_t things;     ///< live things the scenery keeps adding towards
    bool mapOnly;       ///< blocks and players on the map only (no wrapping ones)
    bool changeBlocks;  ///< move, add and remove blocks during the run
    bool copyWorld;     ///< continue from copies of the worlds now and then
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.name;
}

struct Path {
    void (*players)(World&);
    void (*things)(World&);
};
constexpr Path plainScan{resolvePlayersReference, resolveThingsReference};
constexpr Path throughGrid{resolvePlayersIndexed, resolveThingsIndexed};

void stepWith(World& w, const Path& path) {
    movePlayers(w);
    path.players(w);
    path.things(w);
    increment(w);
}

int live(const World& w) {
    int n = 0;
    for (const ThingContainer& tc : w.things) n += tc.used ? 1 : 0;
    return n;
}

class Differential : public ::testing::TestWithParam<Case> {};

TEST_P(Differential, SameDigestEveryTick) {
    const Case& c = GetParam();
    Scenery s(c.seed);
    World plain;
    setupPlayers(plain, c.players, 0);
    plain.rnd.seed(c.seed);
    plain.gameMode = U'm';
    plain.winPoints = 1'000'000;
    // A floor under the spawn point keeps some players on the map.
    plain.blocks.push_back(Block{{0, 400}, {2000, 20}, false});
    for (int32_t i = 1; i < c.blocks; ++i) {
        Block b = s.block();
        if (c.mapOnly) {
            b.pos = {s.between(-300, 2300), s.between(-300, 2300)};
            b.size = {s.between(1, 300), s.between(1, 300)};
        }
        plain.blocks.push_back(b);
    }
    for (Player& p : plain.players) {
        p.pos = c.mapOnly || s.chance(75) ? Vec<int32_t>{s.between(0, 2000), s.between(0, 380)}
                                          : Vec<int32_t>{s.coordinate(), s.coordinate()};
    }
    World fast = plain;

    int freed = 0, deaths = 0;
    for (int tick = 0; tick < fullTicks; ++tick) {
        for (size_t i = 0; i < plain.players.size(); ++i) {
            if (s.chance(20)) {
                const std::string cmd = s.command();
                handleMessage(plain, cmd, static_cast<int32_t>(i));
                handleMessage(fast, cmd, static_cast<int32_t>(i));
            }
        }
        const int now = live(plain);
        for (int k = 0; k < 4 && now + k < c.things; ++k) s.addThings(plain, fast);
        // Things that flew off would pile up: clear a random slot now and then.
        if (!plain.things.empty() && s.chance(30)) {
            const auto slot =
                static_cast<size_t>(s.between(0, static_cast<int32_t>(plain.things.size()) - 1));
            plain.things[slot].used = fast.things[slot].used = false;
        }
        // Players on their last life make deaths, and so respawns, within a tick frequent.
        if (s.chance(10)) {
            const auto i =
                static_cast<size_t>(s.between(0, static_cast<int32_t>(plain.players.size()) - 1));
            plain.players[i].live = fast.players[i].live = 1;
            plain.players[i].invicible = fast.players[i].invicible = 0;
        }
        if (s.chance(1)) {
            WeaponList l = s.weaponList();
            (s.chance(50) ? plain.silverList : plain.goldList) = l;
            fast.silverList = plain.silverList;
            fast.goldList = plain.goldList;
        }
        if (c.changeBlocks && s.chance(2)) {
            const int32_t what = s.between(0, 2);
            if (what == 0 || plain.blocks.size() < 2) {
                plain.blocks.push_back(s.block());
            } else {
                const auto i = static_cast<size_t>(
                    s.between(1, static_cast<int32_t>(plain.blocks.size()) - 1));
                if (what == 1) {
                    plain.blocks[i].pos.x = wrapAdd(plain.blocks[i].pos.x, s.between(-40, 40));
                } else {
                    plain.blocks.erase(plain.blocks.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            fast.blocks = plain.blocks;
        }
        if (c.copyWorld && s.chance(1)) {
            World copy = fast;
            fast = copy;
        }

        const int before = now;
        int pointsBefore = 0;
        for (const Player& p : plain.players) pointsBefore += p.live;
        stepWith(plain, plainScan);
        stepWith(fast, throughGrid);
        freed += std::max(0, before + 4 - live(plain));
        int pointsAfter = 0;
        for (const Player& p : plain.players) pointsAfter += p.live;
        deaths += pointsAfter != pointsBefore ? 1 : 0;
        ASSERT_EQ(digest(plain), digest(fast)) << "after tick " << tick;
    }
    // The run met the cases that matter: things were spent and players were hit.
    EXPECT_GT(freed, fullTicks / 10);
    EXPECT_GT(deaths, 0);
}

const Case cases[] = {
    {"TypicalMatch", 1, 4, 60, 100, true, false, false},
    {"ManyPlayers", 2, 16, 80, 100, true, false, false},
    {"MorePlayersThanMaskBits", 3, 70, 30, 60, true, false, false},
    {"FewBlocks", 4, 3, 4, 60, false, false, false},
    {"OnlyTheFloor", 5, 2, 1, 60, false, false, false},
    {"WrappingCoordinates", 6, 6, 80, 100, false, false, false},
    {"BlocksChangeAndWorldsAreCopied", 7, 5, 60, 80, false, true, true},
};

INSTANTIATE_TEST_SUITE_P(Worlds, Differential, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A death moves the player to the spawn point in the middle of the step: a later thing there must
// find it, an earlier place must not.
TEST(Respawn, LaterThingOfTheSameTickMeetsTheRespawnedPlayer) {
    for (auto resolve : {resolveThingsReference, resolveThingsIndexed}) {
        World w;
        setupPlayers(w, 2, 0);
        for (int i = 0; i < 20; ++i) w.blocks.push_back(Block{{i * 100, 1000}, {50, 50}, false});
        w.players[0].pos = {1000, 300};
        w.players[0].live = 1;
        w.players[1].pos = {1500, 300};
        Thing shot = fireBall.projectile();
        shot.speed = {};
        shot.owner = 1;
        shot.pos = {1010, 310};  // on player 0, killing it
        addThing(w.things, shot);
        shot.pos = {spawnPoint.x + 10, spawnPoint.y + 10};  // where player 0 comes back
        addThing(w.things, shot);
        shot.pos = {1010, 310};  // where player 0 was
        addThing(w.things, shot);
        resolve(w);
        EXPECT_EQ(w.players[0].pos, spawnPoint);
        EXPECT_FALSE(w.things[0].used);
        EXPECT_FALSE(w.things[1].used) << "the respawned player stopped it";
        EXPECT_TRUE(w.things[2].used) << "nobody is left where the player died";
    }
}

// A push out of one block moves the player into a later block that the box did not touch before:
// that block must still push.
TEST(PushOut, LaterBlockMetWhereThePushLeftThePlayer) {
    for (auto resolve : {resolvePlayersReference, resolvePlayersIndexed}) {
        World w;
        setupPlayers(w, 1, 0);
        Player& p = w.players[0];
        p.pos = {100, 100};  // box x 100..119, y 100..134
        p.speed = {Fint(5), Fint(10)};
        w.blocks.push_back(Block{{90, 130}, {40, 20}, false});  // landed on: up to y 95
        w.blocks.push_back(Block{{118, 90}, {12, 8}, false});   // y 90..97: only after the landing
        for (int i = 0; i < 20; ++i) w.blocks.push_back(Block{{3000 + i * 50, 0}, {20, 20}, false});
        resolve(w);
        EXPECT_EQ(p.pos, (Vec<int32_t>{98, 95}));
        EXPECT_EQ(p.lastStood, 0u);
    }
}

// resolvePlayers and resolveThings pick the grid from a number of blocks on; the step they make
// is the plain one.
TEST(Dispatch, StepMatchesThePlainScanWithManyBlocks) {
    Scenery s(11);
    World plain;
    setupPlayers(plain, 4, 0);
    for (int i = 0; i < 100; ++i) plain.blocks.push_back(s.block());
    ASSERT_GE(plain.blocks.size(), Broadphase::minBlocks);
    World fast = plain;
    for (int tick = 0; tick < 500; ++tick) {
        for (int k = 0; k < 3; ++k) s.addThings(plain, fast);
        handleMessage(plain, "_rs", tick % 4);
        handleMessage(fast, "_rs", tick % 4);
        stepWith(plain, plainScan);
        step(fast);
        ASSERT_EQ(digest(plain), digest(fast)) << "after tick " << tick;
    }
}

}  // namespace
}  // namespace brallo::game
