// The configuration commands. Every client applies the same text, so a text that cannot be
// applied exactly is refused rather than partly guessed at.
#include "brallo/main/config.h"

#include <charconv>
#include <istream>
#include <ostream>

#include "brallo/game/weapon.h"
#include "tev/base.h"

namespace brallo {

namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

/// The weapons named in `text`, a TEV document of names read across lines and brackets.
game::WeaponList readWeaponList(std::string_view text, std::string_view command) {
    const auto& registry = game::weapons();
    game::WeaponList result;
    for (std::string_view name : tev::list(tev::parseTEV(text))) {
        const auto found = registry.find(tev::toUtf32(name));
        if (found == registry.end()) {
            throw ConfigError("Configuration: " + std::string(command) + " names unknown weapon " +
                              quoted(name));
        }
        result.push_back(found->second);
    }
    return result;
}

}  // namespace

std::optional<int32_t> decimalInt32(std::string_view text) {
    std::string_view number = text;
    // from_chars takes a leading "-" but not a "+"; after a "+" only digits may follow.
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
        if (!number.empty() && number.front() == '-') return std::nullopt;
    }
    if (number.empty()) return std::nullopt;
    int32_t value = 0;
    const char* end = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(number.data(), end, value);
    if (ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

void parseConfig(std::string_view config, game::World& world, std::string& mapName,
                 std::ostream& out, std::istream& in) {
    for (tev::Line line : tev::lines(tev::parseTEV(config))) {
        if (line.empty()) continue;
        const std::string_view word = line.front();
        line.popFront();
        const auto argument = [&]() {
            if (line.empty()) {
                throw ConfigError("Configuration: command " + quoted(word) + " has no argument");
            }
            return line.front();
        };

        if (word == "mode") {
            const std::string_view arg = argument();
            if (arg.empty()) throw ConfigError("Configuration: mode has an empty argument");
            world.gameMode = tev::decodeChar(arg, 0).c;
        } else if (word == "map") {
            mapName = std::string(argument());
        } else if (word == "winPoints") {
            const std::string_view arg = argument();
            const std::optional<int32_t> value = decimalInt32(arg);
            if (!value) {
                throw ConfigError("Configuration: winPoints wants a 32-bit decimal integer, not " +
                                  quoted(arg));
            }
            world.winPoints = *value;
        } else if (word == "goldList") {
            world.goldList = readWeaponList(argument(), word);
            out << "New gl length: " << world.goldList.size() << std::endl;
        } else if (word == "silverList") {
            world.silverList = readWeaponList(argument(), word);
            out << "New sl length: " << world.silverList.size() << std::endl;
        } else {
            out << "Unknown commmand: " << word << std::endl;
            std::string acknowledged;
            std::getline(in, acknowledged);
            throw ConfigRefused("Configuration refused: unknown command " + quoted(word));
        }
    }
}

}  // namespace brallo
