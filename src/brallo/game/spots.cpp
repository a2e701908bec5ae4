// Weapon spots and their pickup.
#include "brallo/game/spots.h"

#include <algorithm>

#include "brallo/game/weapon.h"

namespace brallo::game {

uint32_t uniformIndex(std::mt19937& rnd, uint32_t n) {
    return drawBelow([&rnd] { return rnd(); }, n);
}

Thing weaponSpot(World& world, Vec<int32_t> pos, bool gold) {
    const WeaponList& list = gold ? world.goldList : world.silverList;
    // The spot keeps the list as it is now; later changes of the world's lists add new entries
    // instead of touching this one. Equal lists share an entry so a map of many spots stays small.
    auto it = std::find(world.spotLists.begin(), world.spotLists.end(), list);
    if (it == world.spotLists.end()) {
        world.spotLists.push_back(list);
        it = world.spotLists.end() - 1;
    }
    Thing t;
    t.pos = pos;
    t.color = gold ? goldSpotColor : silverSpotColor;
    t.kind = ThingKind::weaponSpot;
    t.size = spotSize;
    t.spotList = static_cast<int32_t>(it - world.spotLists.begin());
    return t;
}

bool pickup(World& world, const Thing& self, Player& p) {
    if (p.ammo > 0) return false;
    if (self.spotList < 0 || static_cast<size_t>(self.spotList) >= world.spotLists.size()) {
        return false;
    }
    const WeaponList& list = world.spotLists[static_cast<size_t>(self.spotList)];
    // An empty list (a configuration may set one) cannot be drawn from: the spot gives nothing
    // rather than stopping the match on every client.
    if (list.empty()) return false;
    const uint32_t i = uniformIndex(world.rnd, static_cast<uint32_t>(list.size()));
    if (list[i] != nullptr) p.acquire(*list[i]);
    return false;
}

}  // namespace brallo::game
