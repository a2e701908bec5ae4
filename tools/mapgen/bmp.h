// Writes a Canvas as a 32-bit uncompressed (BI_RGB) BMP file: bottom-up rows of B, G, R, A
// bytes, which the game loads with the fourth byte as each pixel's opacity. Reads a Canvas;
// called by brallo-mapgen's commands and its tests.
#pragma once

#include <string>

#include "canvas.h"

namespace brallo::mapgen {

/// The whole file: a 14-byte file header, a 40-byte info header, then the pixels.
std::string encodeBmp(const Canvas& canvas);

/// Writes encodeBmp(canvas) to `path`; throws std::runtime_error naming the file on failure.
void writeBmp(const std::string& path, const Canvas& canvas);

}  // namespace brallo::mapgen
