// Three families of colours, each tinted toward the sky so that far things fade into it.
#include "palette.h"

namespace brallo::mapgen {

Palette paletteFor(game::Color bg) {
    const Pixel sky = rgb(bg.r, bg.g, bg.b);
    const int32_t luminance = (bg.r * 3 + bg.g * 6 + bg.b) / 10;
    Palette p;
    p.sky = sky;
    p.night = luminance < 70;
    if (p.night) {
        p.stone = rgb(86, 88, 112);
        p.crust = rgb(170, 190, 225);
        p.farHills = mix(rgb(40, 42, 70), sky, 90);
        p.nearHills = mix(rgb(22, 26, 44), sky, 40);
        p.cloud = mix(rgb(90, 90, 130), sky, 120);
    } else if (bg.r > bg.b + 40) {
        p.stone = rgb(168, 104, 64);
        p.crust = rgb(222, 184, 120);
        p.farHills = mix(rgb(176, 98, 84), sky, 110);
        p.nearHills = mix(rgb(128, 68, 48), sky, 50);
        p.cloud = mix(rgb(255, 232, 200), sky, 70);
    } else {
        p.stone = rgb(118, 106, 94);
        p.crust = rgb(84, 156, 62);
        p.farHills = mix(rgb(84, 110, 140), sky, 110);
        p.nearHills = mix(rgb(52, 112, 64), sky, 45);
        p.cloud = mix(rgb(255, 255, 255), sky, 50);
    }
    p.wood = rgb(150, 98, 52);
    return p;
}

}  // namespace brallo::mapgen
