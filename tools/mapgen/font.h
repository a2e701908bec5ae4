// A built-in 5 by 7 pixel font (capital letters, digits, space and a few signs) drawn onto a
// Canvas at any whole-number scale. Used by the end pictures of brallo-mapgen.
#pragma once

#include <cstdint>
#include <string_view>

#include "canvas.h"

namespace brallo::mapgen {

inline constexpr int32_t glyphWidth = 5;
inline constexpr int32_t glyphHeight = 7;

/// Width in pixels of `text` at `scale`: each character takes glyphWidth + 1 columns, the last
/// one without its trailing gap.
int32_t textWidth(std::string_view text, int32_t scale);

/// Draws `text` with its top-left corner at (x, y), each font pixel a scale by scale square.
/// Lower-case letters are drawn as capitals; characters the font lacks are drawn as blanks.
void drawText(Canvas& canvas, int32_t x, int32_t y, std::string_view text, int32_t scale,
              Pixel color);

/// True when the font pixel (column, row) of character `c` is set.
bool glyphPixel(char c, int32_t column, int32_t row);

}  // namespace brallo::mapgen
