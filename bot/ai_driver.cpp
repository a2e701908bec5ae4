// The computer opponent. It sees what a player at the screen would see (positions, facing,
// ammunition, the blocks) and nothing random, so every client that simulates it agrees.
#include <cstdlib>
#include <optional>

#include "drivers.h"

namespace brallo::bot {

namespace {

using game::Player;
using game::World;

// Distances in 64 bits: positions may have wrapped far away after an endless fall.
struct Target {
    int64_t dx = 0;  ///< target centre minus own centre
    int64_t dy = 0;
    bool player = false;
    int32_t index = -1;  ///< the player's number
};

int64_t centreX(const Player& p) {
    return int64_t{p.pos.x} + 10;
}
int64_t centreY(const Player& p) {
    return int64_t{p.pos.y} + 17;
}

int64_t distance(int64_t dx, int64_t dy) {
    return std::llabs(dx) + std::llabs(dy);
}

std::optional<Target> nearestPlayer(const World& world, const Player& me) {
    std::optional<Target> best;
    for (std::size_t i = 0; i < world.players.size(); ++i) {
        if (static_cast<int32_t>(i) == world.myself) continue;
        const Player& other = world.players[i];
        Target t{centreX(other) - centreX(me), centreY(other) - centreY(me), true,
                 static_cast<int32_t>(i)};
        if (!best || distance(t.dx, t.dy) < distance(best->dx, best->dy)) best = t;
    }
    return best;
}

std::optional<Target> nearestSpot(const World& world, const Player& me) {
    std::optional<Target> best;
    for (const game::ThingContainer& tc : world.things) {
        if (!tc.used || tc.t.kind != game::ThingKind::weaponSpot) continue;
        Target t{int64_t{tc.t.pos.x} - centreX(me), int64_t{tc.t.pos.y} - centreY(me), false};
        if (!best || distance(t.dx, t.dy) < distance(best->dx, best->dy)) best = t;
    }
    return best;
}

// A solid block in the way of a player walking toward `sign` (-1 left, 1 right): one that
// overlaps the strip just ahead of its body, feet excluded so that a step on the floor is not
// taken for a wall.
bool wallAhead(const World& world, const Player& me, int sign) {
    const int64_t top = me.pos.y;
    const int64_t bottom = int64_t{me.pos.y} + 30;
    const int64_t nearX = sign > 0 ? int64_t{me.pos.x} + 20 : int64_t{me.pos.x} - 24;
    const int64_t farX = nearX + 23;
    for (const game::Block& b : world.blocks) {
        if (b.platform) continue;
        const int64_t bl = b.pos.x, bt = b.pos.y;
        const int64_t br = bl + b.size.x - 1, bb = bt + b.size.y - 1;
        if (br >= nearX && bl <= farX && bb >= top && bt <= bottom) return true;
    }
    return false;
}

class AiDriver final : public Driver {
  public:
    std::string command(const World& world) override {
        if (world.myself < 0 || static_cast<std::size_t>(world.myself) >= world.players.size()) {
            return "___";
        }
        const Player& me = world.players[static_cast<std::size_t>(world.myself)];
        updateStuck(me);

        const bool armed = me.weapon != nullptr && me.ammo > 0;
        std::optional<Target> target = armed ? nearestPlayer(world, me) : nearestSpot(world, me);
        if (!target) target = nearestPlayer(world, me);
        if (!target) return "___";

        // Walk onto a spot; against a player hold a shooting distance: a shot starts some 30
        // pixels ahead of the shooter and would fly past a player standing too close.
        // Two players in one place part to different sides: the lower number goes left.
        const int sign = target->dx != 0                ? (target->dx < 0 ? -1 : 1)
                         : target->index > world.myself ? 1
                                                        : -1;
        const char toward = sign < 0 ? 'l' : 'r';
        const char away = sign < 0 ? 'r' : 'l';
        const int64_t reach = target->player ? 160 : 3;
        const bool level = std::llabs(target->dy) < 25;
        char move = '_';
        if (target->dy > 40 && std::llabs(target->dx) < 60) {
            move = me.looksLeft ? 'l' : 'r';  // right below: walk on until the floor ends
        } else if (std::llabs(target->dx) > reach || (target->player && !level)) {
            move = std::llabs(target->dx) > 3 ? toward : '_';
        } else if (target->player && std::llabs(target->dx) < 60) {
            move = away;
        } else if (target->player && me.looksLeft != (sign < 0)) {
            move = toward;  // one tick of intent turns the player around
        }

        bool jump = false;
        if (move != '_') {
            int walking = move == 'l' ? -1 : 1;
            jump = wallAhead(world, me, walking) || stuckTicks_ > 4;
        }
        // Up to a higher target: platforms are taken from below by jumping through them.
        if (target->dy < -40 && std::llabs(target->dx) < 220) jump = true;
        // Thrust lasts only 20 ticks after landing; keep the key while it still helps.
        if (jump && me.lastStood > 20) jump = false;

        const bool fire = target->player && armed && std::llabs(target->dy) < 25 &&
                          me.looksLeft == (sign < 0) && std::llabs(target->dx) < 600;

        return std::string{jump ? 'j' : '_', move, fire ? 's' : '_'};
    }

  private:
    // Walking intent that does not move the player means a wall or a corner; the count makes it
    // try a jump. It depends only on the simulated positions, so it is the same on every client.
    void updateStuck(const Player& me) {
        const bool intends = me.dir != Player::Dir::None && !me.crouching;
        if (intends && lastX_ && *lastX_ == me.pos.x) {
            ++stuckTicks_;
        } else {
            stuckTicks_ = 0;
        }
        lastX_ = me.pos.x;
    }

    std::optional<int32_t> lastX_;
    int stuckTicks_ = 0;
};

}  // namespace

std::unique_ptr<Driver> makeAiDriver() {
    return std::make_unique<AiDriver>();
}

}  // namespace brallo::bot
