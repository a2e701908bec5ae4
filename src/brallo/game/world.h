// The world of a match: records, tables, settings and the generator, held in one World value.
// Every client, the bot, the tools and the tests make their own worlds; nothing here is global
// except the six immutable weapons (weapon.h). No SDL, no floating point, no unordered containers.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "brallo/game/fint.h"

namespace brallo::game {

/// A failure of the simulation's input (a bad player number or command); never a crash.
struct GameError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// x, y, width, height in pixels, laid out like SDL's rectangle.
struct Rect {
    int32_t x = 0, y = 0, w = 0, h = 0;
    constexpr bool operator==(const Rect&) const = default;
};

/// True when the rectangles share at least one pixel (right and bottom edges inclusive).
bool collide(const Rect& r1, const Rect& r2);

/// Red, green, blue.
struct Color {
    uint8_t r = 0, g = 0, b = 0;
    constexpr bool operator==(const Color&) const = default;
};

enum class Side : int32_t { top = 0, left = 1, right = 2, bottom = 3 };
enum class EndState : int32_t { none = 0, win = 1, lose = 2 };

class Weapon;
struct World;

/// Where every player starts and respawns.
inline constexpr Vec<int32_t> spawnPoint{200, 200};

struct Player {
    enum class Dir : int32_t { Left = 0, None = 1, Right = 2 };

    Vec<int32_t> pos;
    Vec<Fint> speed;
    Dir dir = Dir::None;
    bool jumping = false;
    bool crouching = false;
    bool shooting = false;
    int32_t coolDown = 0;            ///< ticks since the last shot
    int32_t invicible = 0;           ///< ticks during which damage is ignored
    int32_t ammo = 0;                ///< ammunition of the held weapon
    const Weapon* weapon = nullptr;  ///< one of the six weapons, never owned
    int32_t live = 5;                ///< life points of the current life
    int32_t points = 0;
    uint32_t lastStood = 0;  ///< ticks since the player last landed on a block
    bool looksLeft = false;

    /// The box: 20 by 35, its top 10 pixels lower while crouching.
    Rect getBounds() const;
    /// Takes weapon `w` with its full ammunition; coolDown stays.
    void acquire(const Weapon& w);
    /// Applies a hit; true when it killed the player (who has then respawned).
    bool damage(int32_t amount, char32_t gameMode);
    /// Death and respawn at spawnPoint; called only by damage.
    void onDeath(char32_t gameMode);
};

struct Block {
    Vec<int32_t> pos;
    Vec<int32_t> size;
    bool platform = false;  ///< solid only for a player landing on it from above
};

/// What a thing does when it touches a player or a block: the closed set of callbacks.
enum class ThingKind : uint8_t {
    projectile,  ///< bound to `weapon`
    weaponSpot,  ///< bound to the captured list World::spotLists[`spotList`]
};

/// A projectile or a weapon spot. A small plain value: see the size check in world.cpp.
struct Thing {
    Vec<int32_t> pos;  ///< centre
    Vec<Fint> speed;
    Color color;
    ThingKind kind = ThingKind::projectile;
    int32_t size = 0;                ///< half-extent: a square of side 2 * size + 1
    int32_t owner = -1;              ///< index of the shooter in World::players, -1 for none
    const Weapon* weapon = nullptr;  ///< projectiles: the weapon that fired it
    int32_t spotList = -1;           ///< weapon spots: index into World::spotLists
    Vec<Fint> acceleration;

    Rect rect() const;
};

struct ThingContainer {
    bool used = false;  ///< the slot holds a live thing
    Thing t;
};

using WeaponList = std::vector<const Weapon*>;

class Broadphase;

/// Lookup structures derived from the blocks and players that speed up the things step
/// (broadphase.h). Not part of the simulation state: a copy starts empty and is rebuilt when
/// first needed, and digests leave it out.
class BroadphaseCache {
  public:
    BroadphaseCache();
    ~BroadphaseCache();
    BroadphaseCache(const BroadphaseCache&);
    BroadphaseCache& operator=(const BroadphaseCache&);
    BroadphaseCache(BroadphaseCache&&) noexcept;
    BroadphaseCache& operator=(BroadphaseCache&&) noexcept;
    Broadphase& get();

  private:
    std::unique_ptr<Broadphase> index_;
};

/// Everything the simulation of one match reads and writes.
struct World {
    World();

    std::vector<Player> players;
    std::vector<Block> blocks;
    std::vector<ThingContainer> things;
    int32_t myself = -1;  ///< index of the local player in `players`
    std::mt19937 rnd;     ///< the only source of randomness (weapon spots)
    int32_t winPoints = 3;
    char32_t gameMode = 0xFFFF;  ///< first character of the configured mode; 0xFFFF is no mode
    EndState endState = EndState::none;
    WeaponList silverList;  ///< [fireBall] until configured
    WeaponList goldList;    ///< [purpleBall] until configured
    /// The lists captured by weapon spots when they were made; spots refer to them by index,
    /// so replacing silverList or goldList later does not change an existing spot.
    std::vector<WeaponList> spotLists;
    BroadphaseCache broadphase;  ///< derived data, see BroadphaseCache
};

Rect bounds(const Player& p);
Rect bounds(const Block& b);
int32_t top(const Player& p);
int32_t left(const Player& p);
int32_t right(const Player& p);
int32_t bottom(const Player& p);
int32_t top(const Block& b);
int32_t left(const Block& b);
int32_t right(const Block& b);
int32_t bottom(const Block& b);

/// Puts `t` into the first free slot, else appends a slot.
void addThing(std::vector<ThingContainer>& tcs, const Thing& t);

/// The most players a match may have; a larger count from the network is refused rather than
/// allocated.
inline constexpr int32_t maxPlayers = 1'000'000;

/// Match setup: `count` players at spawnPoint, each armed with fireBall. Throws GameError when
/// `count` is below 1 or above maxPlayers, or `myself` is not an index of the table. Seeding
/// `rnd` is the caller's part.
void setupPlayers(World& world, int32_t count, int32_t myself);

/// A weapon spot at `pos` (centre) that captures the current silver or gold list (by an index
/// into world.spotLists; equal lists share one entry). The caller adds it with addThing.
Thing weaponSpot(World& world, Vec<int32_t> pos, bool gold);

/// The four operations of one tick, in order.
void movePlayers(World& world);
void resolvePlayers(World& world);
void resolveThings(World& world);
void increment(World& world);
/// One tick: movePlayers, resolvePlayers, resolveThings, increment.
void step(World& world);

/// Applies a three-character command to players[plnr]. Throws GameError when plnr is not an
/// index of the table or the command is shorter than three characters.
void handleMessage(World& world, std::string_view msg, int32_t plnr);

/// SDL scancodes of the keys the command is made from.
inline constexpr int scancodeSpace = 44, scancodeRight = 79, scancodeLeft = 80, scancodeDown = 81,
                     scancodeUp = 82;

/// The own command from a keyboard state indexed by scancode (non-zero means held).
/// Keys beyond the end of the state count as released.
std::string encodeCommand(const uint8_t* keyState, int numKeys);

/// A 64-bit digest (FNV-1a) of every field of the simulation state in a fixed order: players,
/// blocks, things (free slots included), rnd's full state, winPoints, gameMode, endState and the
/// weapon lists; weapons count by their index in allWeapons. `myself` is left out, but endState
/// is this client's verdict, so after the match is decided the clients' digests differ.
/// Worlds that simulate alike have equal digests; used to detect desyncs.
uint64_t digest(const World& world);

}  // namespace brallo::game
