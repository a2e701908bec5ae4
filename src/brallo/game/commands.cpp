// The three-character player command: built from the keyboard, applied to a player.
#include <cstdio>
#include <string>

#include "brallo/game/world.h"

namespace brallo::game {

namespace {

// The received text as it can be printed: other bytes as \xNN.
std::string printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\' && c != '"') {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

bool held(const uint8_t* keyState, int numKeys, int scancode) {
    return keyState != nullptr && scancode < numKeys && keyState[scancode] != 0;
}

}  // namespace

void handleMessage(World& world, std::string_view msg, int32_t plnr) {
    if (plnr < 0 || static_cast<size_t>(plnr) >= world.players.size()) {
        throw GameError("Bad player number: " + std::to_string(plnr) + " (there are " +
                        std::to_string(world.players.size()) + " players)");
    }
    if (msg.size() < 3) {
        throw GameError("Command too short: \"" + printable(msg) + "\" (" +
                        std::to_string(msg.size()) + " characters, 3 needed)");
    }
    Player& p = world.players[static_cast<size_t>(plnr)];
    p.jumping = msg[0] == 'j';
    p.crouching = msg[0] == 'c';
    p.dir = msg[1] == 'l'   ? Player::Dir::Left
            : msg[1] == 'r' ? Player::Dir::Right
                            : Player::Dir::None;
    p.shooting = msg[2] == 's';
}

std::string encodeCommand(const uint8_t* keyState, int numKeys) {
    std::string cmd = "___";
    if (held(keyState, numKeys, scancodeUp)) {
        cmd[0] = 'j';
    } else if (held(keyState, numKeys, scancodeDown)) {
        cmd[0] = 'c';
    }
    if (held(keyState, numKeys, scancodeLeft)) {
        cmd[1] = 'l';
    } else if (held(keyState, numKeys, scancodeRight)) {
        cmd[1] = 'r';
    }
    if (held(keyState, numKeys, scancodeSpace)) cmd[2] = 's';
    return cmd;
}

}  // namespace brallo::game
