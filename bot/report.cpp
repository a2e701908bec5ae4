// Output lines of the bot.
#include "report.h"

#include <cstdio>
#include <ostream>

namespace brallo::bot {

void Reporter::afterStep(int64_t tick, const game::World& world) {
    if (digestEvery_ <= 0 || tick % digestEvery_ != 0) return;
    // game::digest counts endState only as decided or not, so every client prints the same.
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(game::digest(world)));
    out_ << "tick " << tick << " digest " << hex << '\n';
    if (printPlayers_) players("tick " + std::to_string(tick), world);
    out_.flush();
}

void Reporter::players(const std::string& label, const game::World& world) {
    for (std::size_t i = 0; i < world.players.size(); ++i) {
        const game::Player& p = world.players[i];
        out_ << label << " player " << i << " pos " << p.pos.x << ' ' << p.pos.y << " ammo "
             << p.ammo << " points " << p.points << '\n';
    }
    int64_t projectiles = 0;
    for (const game::ThingContainer& tc : world.things) {
        if (tc.used && tc.t.kind == game::ThingKind::projectile) ++projectiles;
    }
    out_ << label << " projectiles " << projectiles << '\n';
}

void Reporter::summary(int64_t ticks, const game::World& world) {
    if (printPlayers_) players("final", world);
    out_ << "summary ticks " << ticks << " points";
    for (const game::Player& p : world.players) out_ << ' ' << p.points;
    const char* state = world.endState == game::EndState::win    ? "win"
                        : world.endState == game::EndState::lose ? "lose"
                                                                 : "none";
    out_ << " endState " << state << '\n';
    out_.flush();
}

}  // namespace brallo::bot
