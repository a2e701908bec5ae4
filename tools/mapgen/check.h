// brallo-mapgen --check: proves a map playable with the game's own simulation. The map must
// load, a player spawned at (200, 200) must land, every weapon spot must be reachable by some
// sequence of commands, and no explored move may fall out of the world. Reads a map text;
// called by brallo-mapgen and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brallo::mapgen {

struct CheckOptions {
    int32_t landTicks = 100;      ///< the spawned player must land within this many ticks
    int64_t maxStates = 200'000;  ///< most standing places the reachability search visits
};

struct CheckResult {
    std::vector<std::string> problems;  ///< empty when the map passed
    int32_t landedAfter = -1;           ///< tick of the first landing, -1 if none
    int32_t spots = 0;                  ///< weapon spots of the map
    int32_t spotsReached = 0;
    int64_t statesExplored = 0;
    bool searchComplete = false;  ///< every reachable state was explored within the bound

    bool ok() const { return problems.empty(); }
};

/// Checks a map text. A text the reader rejects is a problem, not an exception.
CheckResult checkMap(std::string_view mapText, const CheckOptions& options = {});

}  // namespace brallo::mapgen
