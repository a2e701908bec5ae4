// Fuzz target for the match configuration: applies the input to a fresh world, with an empty
// console for the line read after an unknown command. Built only by the fuzz build (fuzz/run).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "brallo/game/weapon.h"
#include "brallo/main/config.h"
#include "tev/base.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view config(reinterpret_cast<const char*>(data), size);
    brallo::game::World world;
    std::string mapName = "map1";
    std::ostream discard(nullptr);
    std::istringstream console;
    try {
        brallo::parseConfig(config, world, mapName, discard, console);
    } catch (const brallo::ConfigError&) {
        // Refused configurations, bad arguments, unknown weapons: the expected refusals.
    } catch (const tev::TEVError&) {
    }
    // Whatever the text did, the lists hold only weapons of the registry.
    const auto& registry = brallo::game::weapons();
    for (const auto* list : {&world.goldList, &world.silverList}) {
        for (const auto* weapon : *list) {
            bool known = false;
            for (const auto& [name, w] : registry) known = known || w == weapon;
            if (!known) std::abort();
        }
    }
    return 0;
}
