// The map text: records of blocks, platforms, weapon spots and the background colour, one per
// CR LF terminated line, in the strict form "letter:x|y|width|height". Reads the file's bytes;
// used by map loading in the client, by the headless tools and by the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/game/world.h"

namespace brallo {

/// One record of a map text. The numbers a letter does not use are still read.
struct MapRecord {
    std::string name;  ///< the record letter: everything before the ":"
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const MapRecord&) const = default;
};

/// A map text that breaks the record syntax ("line N: expected ..."), an unknown record letter
/// ("Map error"), or a file that cannot be read.
struct MapError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Reads records in file order and calls `onRecord` for each one with a non-empty name as soon
/// as it is read; records with an empty name are read and skipped. Every record, the last one
/// included, ends with CR LF. Throws MapError naming the line and what was expected there.
void readMapText(std::string_view bytes, const std::function<void(const MapRecord&)>& onRecord);

/// Applies a map text to `world`: "b" and "p" append blocks (solid, platform), "s" and "g" add
/// silver and gold weapon spots, "c" sets `bgColor` from the low 8 bits of x, y and width.
/// Records take effect in file order; throws MapError("Map error") on any other letter.
void applyMapText(std::string_view bytes, game::World& world, game::Color& bgColor);

/// The whole file, unchanged (no line-end translation). Throws MapError naming the file.
std::string readFileBytes(const std::string& path);

}  // namespace brallo
