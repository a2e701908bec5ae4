// The six weapons: immutable parameters of the projectiles they fire, and the operations that
// fire them and decide what a hit does. Shared by every world; never change after start. Used by
// movement (firing), the things step (hits), weapon spots, the configuration and the HUD.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "brallo/game/world.h"

namespace brallo::game {

class Weapon {
  public:
    /// Damage of one hit (the numeric value) and class of ammunition.
    enum class Power : int32_t { small = 1, medium = 2, big = 3, heavy = 4 };

    constexpr Weapon(Power power, int32_t speed, int32_t coolDown, Color color, int32_t size,
                     std::span<const int32_t> ySpeeds = {}, Fint yAcc = Fint())
        : power(power),
          speed(speed),
          coolDown(coolDown),
          color(color),
          size(size),
          ySpeeds(ySpeeds),
          yAcc(yAcc) {}
    Weapon(const Weapon&) = delete;
    Weapon& operator=(const Weapon&) = delete;

    const bool throughWalls = false;
    const Power power;
    const int32_t speed;     ///< horizontal projectile speed, pixels per tick
    const int32_t coolDown;  ///< ticks between two shots
    const Color color;
    const int32_t size;                      ///< half-extent of the projectiles
    const std::span<const int32_t> ySpeeds;  ///< one projectile per entry; empty means [0]
    const Fint yAcc;                         ///< vertical acceleration of the projectiles

    /// Ammunition a player receives with this weapon: 20, 10, 5 or 1 by power.
    int32_t ammo() const;
    /// A new projectile of this weapon, not yet placed.
    Thing projectile() const;
    /// Fires one shot for world.players[shooter].
    void shoot(World& world, int32_t shooter) const;
    /// The projectile `self` touched `p`: damage, scoring; true removes the projectile.
    bool hitPlayer(World& world, Thing& self, Player& p) const;
    /// The projectile touched a block; true removes it.
    bool hitBlock(Thing& self, const Block& block) const;
};

extern const Weapon fireBall, ultraBall, lightAttack, miniBall, purpleBall, fallBall;

/// The vertical speeds of a weapon whose ySpeeds is empty.
inline constexpr int32_t speed0[] = {0};

/// The six weapons in a fixed order; a weapon's index here is its identity in digests.
inline constexpr int32_t weaponCount = 6;
const std::array<const Weapon*, weaponCount>& allWeapons();
/// Index of `w` in allWeapons, or -1 for null or a weapon that is not one of the six.
int32_t weaponIndex(const Weapon* w);

/// The registry by name: "fireBall", "ultraBall", "lightAttack", "miniBall", "purpleBall",
/// "fallBall".
const std::map<std::u32string, const Weapon*>& weapons();

}  // namespace brallo::game
