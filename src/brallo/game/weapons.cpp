// The six weapons, their registry, and firing and hitting with them.
#include <algorithm>

#include "brallo/game/damage.h"
#include "brallo/game/weapon.h"

namespace brallo::game {

namespace {
constexpr int32_t purpleSpeeds[] = {-2, 0, 2};
constexpr int32_t fallSpeeds[] = {-3};
}  // namespace

constexpr Weapon fireBall(Weapon::Power::big, 7, 40, Color{255, 0, 0}, 5);
constexpr Weapon ultraBall(Weapon::Power::heavy, 5, 30, Color{255, 100, 20}, 7);
constexpr Weapon lightAttack(Weapon::Power::medium, 12, 30, Color{255, 220, 20}, 3);
constexpr Weapon miniBall(Weapon::Power::small, 7, 5, Color{120, 220, 20}, 1);
constexpr Weapon purpleBall(Weapon::Power::medium, 6, 65, Color{255, 0, 230}, 4, purpleSpeeds);
constexpr Weapon fallBall(Weapon::Power::big, 5, 40, Color{10, 10, 230}, 7, fallSpeeds,
                          Fint(2, 10));

const std::array<const Weapon*, weaponCount>& allWeapons() {
    static const std::array<const Weapon*, weaponCount> all{&fireBall, &ultraBall,  &lightAttack,
                                                            &miniBall, &purpleBall, &fallBall};
    return all;
}

int32_t weaponIndex(const Weapon* w) {
    const auto& all = allWeapons();
    auto it = std::find(all.begin(), all.end(), w);
    return it == all.end() ? -1 : static_cast<int32_t>(it - all.begin());
}

const std::map<std::u32string, const Weapon*>& weapons() {
    // Immutable once built; the names are those the configuration uses.
    static const std::map<std::u32string, const Weapon*> registry{
        {U"fireBall", &fireBall}, {U"ultraBall", &ultraBall},   {U"lightAttack", &lightAttack},
        {U"miniBall", &miniBall}, {U"purpleBall", &purpleBall}, {U"fallBall", &fallBall},
    };
    return registry;
}

int32_t Weapon::ammo() const {
    switch (power) {
        case Power::small:
            return 20;
        case Power::medium:
            return 10;
        case Power::big:
            return 5;
        case Power::heavy:
            return 1;
    }
    return 0;
}

Thing Weapon::projectile() const {
    Thing t;
    t.speed = Vec<Fint>(Fint(speed), Fint());
    t.color = color;
    t.size = size;
    t.kind = ThingKind::projectile;
    t.weapon = this;
    return t;
}

void Weapon::shoot(World& world, int32_t shooter) const {
    Player& plr = world.players.at(static_cast<size_t>(shooter));
    const int32_t sign = plr.looksLeft ? -1 : 1;
    const std::span<const int32_t> list =
        ySpeeds.empty() ? std::span<const int32_t>(speed0) : ySpeeds;
    const Rect box = plr.getBounds();
    for (int32_t ySpeed : list) {
        Thing pr = projectile();
        pr.pos = Vec<int32_t>(wrapAdd(wrapAdd(box.x, 10 + 20 * sign), wrapMul(size, sign)),
                              wrapAdd(box.y, 4));
        pr.speed.x.a = wrapMul(pr.speed.x.a, sign);
        pr.speed.y = Fint(ySpeed);
        pr.owner = shooter;
        pr.acceleration = Vec<Fint>(Fint(), yAcc);
        addThing(world.things, pr);
    }
    // A multi-projectile shot costs 2 but still fires in full on the last unit.
    plr.ammo = wrapSub(plr.ammo, ySpeeds.size() < 2 ? 1 : 2);
    if (plr.ammo < 0) plr.ammo = 0;
}

bool Weapon::hitPlayer(World& world, Thing& self, Player& p) const {
    if (p.damage(static_cast<int32_t>(power), world.gameMode)) {
        scoreKill(world, self.owner, p);
    }
    // Spent on any player: the invincible and the shooter itself included.
    return true;
}

bool Weapon::hitBlock(Thing&, const Block&) const {
    return !throughWalls;
}

void Player::acquire(const Weapon& w) {
    ammo = w.ammo();
    weapon = &w;
}

}  // namespace brallo::game
