// What the bot prints on standard output: digest lines, player lines and the summary. Reads the
// world; called by the match loop and by the replay, so their lines can be compared verbatim.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "brallo/game/world.h"

namespace brallo::bot {

class Reporter {
  public:
    /// `digestEvery` 0 prints no per-tick lines.
    Reporter(std::ostream& out, int64_t digestEvery, bool printPlayers)
        : out_(out), digestEvery_(digestEvery), printPlayers_(printPlayers) {}

    /// Right after the step of tick `tick` and before the tick's commands are applied:
    /// "tick T digest D" (D as 16 lower-case hexadecimal digits) every digestEvery ticks, with
    /// --print-players followed by the player lines of that tick. Flushed at once.
    void afterStep(int64_t tick, const game::World& world);

    /// "summary ticks T points P0 P1 ... endState none|win|lose", with --print-players
    /// preceded by the player lines of the final world, labelled "final" instead of "tick T".
    void summary(int64_t ticks, const game::World& world);

  private:
    /// "<label> player I pos X Y ammo A points P" for each player, then
    /// "<label> projectiles N" with the number of live projectiles.
    void players(const std::string& label, const game::World& world);

    std::ostream& out_;
    int64_t digestEvery_;
    bool printPlayers_;
};

}  // namespace brallo::bot
