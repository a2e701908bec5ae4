// Eyes are drawn pixel by pixel from a small mask; the end pictures from filled frames and the
// built-in font.
#include "shared.h"

#include "font.h"

namespace brallo::mapgen {

namespace {

// One eye: 6 by 7 with the corners cut, so it looks round at this size.
constexpr const char* eyeMask[] = {
    ".####.", "######", "######", "######", "######", "######", ".####.",
};
constexpr int32_t eyeW = 6, eyeH = 7, eyeTop = 3;

void drawEye(Canvas& c, int32_t left, bool lookLeft) {
    const Pixel whiteOfEye = rgb(250, 250, 250);
    const Pixel rim = rgb(40, 40, 40);
    for (int32_t y = 0; y < eyeH; ++y) {
        for (int32_t x = 0; x < eyeW; ++x) {
            if (eyeMask[y][x] == '#') c.set(left + x, eyeTop + y, whiteOfEye);
        }
    }
    // A dark outline where the mask ends makes the eye readable on a pale body too.
    for (int32_t y = 0; y < eyeH; ++y) {
        for (int32_t x = 0; x < eyeW; ++x) {
            if (eyeMask[y][x] != '#') continue;
            const bool border = x == 0 || x == eyeW - 1 || y == 0 || y == eyeH - 1 ||
                                eyeMask[y - 1][x] != '#' || eyeMask[y + 1][x] != '#';
            if (border) c.set(left + x, eyeTop + y, rim);
        }
    }
    const int32_t pupilX = lookLeft ? left + 1 : left + eyeW - 3;
    c.fillRect(pupilX, eyeTop + 2, 2, 3, rgb(10, 10, 20));
}

}  // namespace

Canvas renderEyes(bool lookLeft) {
    Canvas c(eyesWidth, eyesHeight);
    // The eyes sit toward the side the player looks.
    const int32_t first = lookLeft ? 2 : 5;
    drawEye(c, first, lookLeft);
    drawEye(c, first + 7, lookLeft);
    return c;
}

Canvas renderBanner(std::string_view title, std::string_view subtitle, bool won) {
    Canvas c(bannerWidth, bannerHeight);
    const Pixel frame = won ? rgb(230, 190, 60) : rgb(150, 60, 60);
    const Pixel inner = won ? rgb(24, 34, 72) : rgb(36, 28, 32);
    const Pixel text = won ? rgb(255, 226, 110) : rgb(225, 225, 230);
    c.fill(rgb(20, 20, 20));
    c.fillRect(3, 3, bannerWidth - 6, bannerHeight - 6, frame);
    c.fillRect(10, 10, bannerWidth - 20, bannerHeight - 20, rgb(20, 20, 20));
    c.fillRect(12, 12, bannerWidth - 24, bannerHeight - 24, inner);
    // A soft light from the top of the panel.
    for (int32_t y = 12; y < 90; ++y) {
        const Pixel lit = mix(inner, frame, (90 - y) / 3);
        c.fillRect(12, y, bannerWidth - 24, 1, lit);
    }
    if (won) {
        for (int32_t i = 0; i < 40; ++i) {
            const int32_t x = 20 + static_cast<int32_t>(hash3(i, 1, 71) % (bannerWidth - 40));
            const int32_t y = 20 + static_cast<int32_t>(hash3(i, 2, 71) % (bannerHeight - 40));
            c.fillRect(x, y, 2, 2, mix(frame, rgb(255, 255, 255), 120));
        }
    }
    constexpr int32_t scale = 6;
    const int32_t titleX = (bannerWidth - textWidth(title, scale)) / 2;
    const int32_t titleY = 48;
    drawText(c, titleX + 4, titleY + 4, title, scale, rgb(8, 8, 8));  // shadow
    drawText(c, titleX, titleY, title, scale, text);
    constexpr int32_t small = 2;
    drawText(c, (bannerWidth - textWidth(subtitle, small)) / 2, 140, subtitle, small, frame);
    return c;
}

}  // namespace brallo::mapgen
