// The four pictures every map shares: a player's eyes looking left and right, and the end
// pictures of a won and a lost match. Called by brallo-mapgen shared and its tests.
#pragma once

#include <string_view>

#include "canvas.h"

namespace brallo::mapgen {

inline constexpr int32_t eyesWidth = 20;  ///< the width of a player's body
inline constexpr int32_t eyesHeight = 12;

/// Two eyes over the top of a 20-pixel-wide body, their pupils toward the side the player
/// looks; opaque on the eyes, transparent around them.
Canvas renderEyes(bool lookLeft);

inline constexpr int32_t bannerWidth = 400;
inline constexpr int32_t bannerHeight = 200;

/// A framed, opaque end picture with `title` in large letters and `subtitle` below it.
Canvas renderBanner(std::string_view title, std::string_view subtitle, bool won);

}  // namespace brallo::mapgen
