// Everything the running client holds besides the loop record: the world it simulates, the
// settings and pictures of its match, and its connection to the relay server.
#pragma once

#include <string>

#include "brallo/game/world.h"
#include "brallo/main/setup.h"
#include "brallo/main/textures.h"

namespace brallo {

struct Client {
    game::World world;
    std::string globalMapName = "map1";
    game::Color globalBgColor;  ///< the colour the window is cleared with
    Textures textures;
    ServerConnection server;
};

}  // namespace brallo
