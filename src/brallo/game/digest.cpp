// The world digest: FNV-1a over every field of the simulation state, as fixed-width
// little-endian integers in a fixed order, so it is the same on every platform.
#include <locale>
#include <sstream>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"

namespace brallo::game {

namespace {

class Hasher {
  public:
    void byte(uint8_t b) {
        h_ ^= b;
        h_ *= 0x100000001B3ull;
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void flag(bool b) { byte(b ? 1 : 0); }
    void fint(Fint f) { i32(f.a); }
    void vec(Vec<int32_t> v) {
        i32(v.x);
        i32(v.y);
    }
    void vec(Vec<Fint> v) {
        fint(v.x);
        fint(v.y);
    }
    void color(Color c) {
        byte(c.r);
        byte(c.g);
        byte(c.b);
    }
    void weapon(const Weapon* w) { i32(weaponIndex(w)); }
    void count(size_t n) {
        u32(static_cast<uint32_t>(n));
        u32(static_cast<uint32_t>(static_cast<uint64_t>(n) >> 32));
    }
    void text(const std::string& s) {
        count(s.size());
        for (char c : s) byte(static_cast<uint8_t>(c));
    }
    void list(const WeaponList& l) {
        count(l.size());
        for (const Weapon* w : l) weapon(w);
    }
    uint64_t value() const { return h_; }

  private:
    uint64_t h_ = 0xCBF29CE484222325ull;
};

void hashPlayer(Hasher& h, const Player& p) {
    h.vec(p.pos);
    h.vec(p.speed);
    h.i32(static_cast<int32_t>(p.dir));
    h.flag(p.jumping);
    h.flag(p.crouching);
    h.flag(p.shooting);
    h.i32(p.coolDown);
    h.i32(p.invicible);
    h.i32(p.ammo);
    h.weapon(p.weapon);
    h.i32(p.live);
    h.i32(p.points);
    h.u32(p.lastStood);
    h.flag(p.looksLeft);
}

void hashThing(Hasher& h, const ThingContainer& tc) {
    h.flag(tc.used);
    const Thing& t = tc.t;
    h.vec(t.pos);
    h.vec(t.speed);
    h.color(t.color);
    h.byte(static_cast<uint8_t>(t.kind));
    h.i32(t.size);
    h.i32(t.owner);
    h.weapon(t.weapon);
    h.i32(t.spotList);
    h.vec(t.acceleration);
}

}  // namespace

uint64_t digest(const World& world) {
    Hasher h;
    h.count(world.players.size());
    for (const Player& p : world.players) hashPlayer(h, p);
    h.count(world.blocks.size());
    for (const Block& b : world.blocks) {
        h.vec(b.pos);
        h.vec(b.size);
        h.flag(b.platform);
    }
    h.count(world.things.size());
    for (const ThingContainer& tc : world.things) hashThing(h, tc);
    // The engine's text form is its complete state (624 words and the position), written in
    // decimal; the classic locale keeps digit grouping out of it.
    std::ostringstream engine;
    engine.imbue(std::locale::classic());
    engine << world.rnd;
    h.text(engine.str());
    h.i32(world.winPoints);
    h.u32(static_cast<uint32_t>(world.gameMode));
    // Whether the match is decided, not the verdict: win or lose depends on which client looks,
    // and the digests of all clients of a match must agree.
    h.i32(world.endState == EndState::none ? 0 : 1);
    h.list(world.silverList);
    h.list(world.goldList);
    h.count(world.spotLists.size());
    for (const WeaponList& l : world.spotLists) h.list(l);
    return h.value();
}

}  // namespace brallo::game
