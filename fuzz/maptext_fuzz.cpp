// Fuzz target for the map text: applies the input to a fresh world, then runs a few simulation
// steps on whatever blocks and weapon spots it made. Built only by the fuzz build (fuzz/run).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "brallo/main/maptext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    brallo::game::World world;
    brallo::game::Color background{};
    try {
        brallo::applyMapText(bytes, world, background);
    } catch (const brallo::MapError&) {
        return 0;  // broken syntax and unknown letters are refused, as they should be
    }
    // A map that loads must also play: extreme rectangles and spots meet the movement code.
    brallo::game::setupPlayers(world, 2, 0);
    for (int tick = 0; tick < 8; ++tick) brallo::game::step(world);
    return 0;
}
