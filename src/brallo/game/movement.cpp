// Player movement: commands to speed, firing, moving, and the push out of blocks.
#include "brallo/game/movement.h"

#include "brallo/game/weapon.h"

namespace brallo::game {

namespace {

constexpr Side sideOrder[] = {Side::top, Side::left, Side::right, Side::bottom};

// lastStood is unsigned and grows without bound in an endless fall; the divisors derived from
// it are computed modulo 2^32 and read as signed, exactly as 32-bit hardware would.
int32_t asSigned(uint32_t v) {
    return static_cast<int32_t>(v);
}

}  // namespace

void accelerate(Fint& f, int32_t target, int32_t q) {
    if (q < 1) q = 1;
    f.a = wrapAdd(f.a, wrapDiv(wrapSub(wrapShl(target, 10), f.a), q));
}

Side opposite(Side s) {
    return static_cast<Side>(3 - static_cast<int32_t>(s));
}

int32_t sideOf(Side s, const Player& p) {
    switch (s) {
        case Side::top:
            return top(p);
        case Side::left:
            return left(p);
        case Side::right:
            return right(p);
        case Side::bottom:
            return bottom(p);
    }
    return 0;
}

int32_t sideOf(Side s, const Block& b) {
    switch (s) {
        case Side::top:
            return top(b);
        case Side::left:
            return left(b);
        case Side::right:
            return right(b);
        case Side::bottom:
            return bottom(b);
    }
    return 0;
}

int32_t speedOf(Side s, const Player& p) {
    return (s == Side::top || s == Side::bottom) ? p.speed.y.toInt() : p.speed.x.toInt();
}

bool compOf(Side s, int32_t a, int32_t b) {
    return (s == Side::top || s == Side::left) ? a > b : a < b;
}

void adjust(Side s, Player& p, int32_t add) {
    const int32_t correction = (s == Side::top || s == Side::left) ? 1 : -1;
    const int32_t shift = wrapAdd(add, correction);
    if (s == Side::top || s == Side::bottom) {
        p.pos.y = wrapAdd(p.pos.y, shift);
        p.speed.y = max(p.speed.y, Fint());
    } else {
        p.pos.x = wrapAdd(p.pos.x, shift);
        p.speed.x = max(p.speed.x, Fint());
    }
}

void movePlayers(World& world) {
    for (size_t i = 0; i < world.players.size(); ++i) {
        Player& p = world.players[i];
        if (p.dir != Player::Dir::None) p.looksLeft = p.dir == Player::Dir::Left;

        if (p.dir == Player::Dir::None || p.crouching) {
            accelerate(p.speed.x, 0, asSigned(p.lastStood + 15u));
        } else {
            const int32_t sign = p.dir == Player::Dir::Left ? -1 : 1;
            accelerate(p.speed.x, 3 * sign, asSigned(2u * p.lastStood));
        }

        if (p.lastStood > 20 || !p.jumping) {
            accelerate(p.speed.y, 6, 15);
        } else {
            accelerate(p.speed.y, -5, 2);
        }

        if (p.shooting && p.weapon != nullptr && p.coolDown >= p.weapon->coolDown && p.ammo > 0) {
            p.coolDown = 0;
            p.weapon->shoot(world, static_cast<int32_t>(i));
        }

        p.pos.x = wrapAdd(p.pos.x, p.speed.x.toInt());
        p.pos.y = wrapAdd(p.pos.y, p.speed.y.toInt());
    }
}

void pushOut(Player& p, const Block& block) {
    // The order is the tie-break at corners: a head bump first, walls before landing.
    for (Side s : sideOrder) {
        if (block.platform && s != Side::bottom) continue;
        const int32_t pc = sideOf(s, p);
        const int32_t v = speedOf(s, p);
        const int32_t b = sideOf(opposite(s), block);
        if (compOf(s, wrapSub(pc, v), b)) {
            adjust(s, p, wrapSub(b, pc));
            if (s == Side::bottom) p.lastStood = 0;
            break;
        }
    }
}

void resolvePlayersReference(World& world) {
    for (Player& p : world.players) {
        for (const Block& block : world.blocks) {
            if (collide(bounds(p), bounds(block))) pushOut(p, block);
        }
    }
}

}  // namespace brallo::game
