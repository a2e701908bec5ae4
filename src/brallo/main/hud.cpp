#include "brallo/main/hud.h"

#include "brallo/game/weapon.h"
#include "brallo/main/draw.h"
#include "oskasdl/video.h"

namespace brallo {

namespace {

constexpr game::Color frameGrey{75, 75, 75};
constexpr game::Color lifeRed{255, 0, 0};
constexpr game::Color ammoGrey{150, 150, 150};

constexpr int64_t lifeSlots = 5;

void drawLives(SDL_Renderer* display, const game::Player& own) {
    for (int64_t i = 0; i < lifeSlots; ++i) {
        window::fill(display, frameGrey, 1 + 31 * i, 5, 26, 29);
        window::fill(display, own.live > i ? lifeRed : frameGrey, 4 + 31 * i, 7, 20, 25);
    }
}

void drawAmmo(SDL_Renderer* display, const game::Player& own) {
    for (int64_t i = 0; i < own.ammo; ++i) {
        const int64_t x = 10 + 12 * i;
        // The row runs on past the right edge; squares from here on cannot show, so a huge
        // count costs no more than a full row.
        if (x >= window::width) break;
        window::fill(display, ammoGrey, x, 39, 10, 10);
        // A player without a weapon has nothing to colour the units with; they stay grey.
        if (own.weapon != nullptr) window::fill(display, own.weapon->color, x + 1, 40, 8, 8);
    }
}

void drawBadge(SDL_Renderer* display, uint32_t myself) {
    window::fill(display, frameGrey, 170, 5, 50, 20);
    window::fill(display, colorOf(myself), 172, 7, 46, 16);
}

void drawPoints(SDL_Renderer* display, const game::World& world, uint32_t nowMs) {
    // One point short of winning blinks on the wall clock: shown 333 ms, hidden 334 ms.
    const bool blinkHidden = nowMs % 667 >= 333;
    const int64_t almostWon = int64_t{world.winPoints} - 1;
    for (size_t i = 0; i < world.players.size(); ++i) {
        const int64_t y = 55 + 20 * static_cast<int64_t>(i);
        if (y >= window::height) break;  // this bar and all later ones are below the window
        const game::Player& p = world.players[i];
        if (p.points == almostWon && blinkHidden) continue;
        // Zero or negative points give an empty bar, which fill() leaves out.
        window::fill(display, colorOf(static_cast<uint32_t>(i)), 0, y, 20 * int64_t{p.points}, 20);
    }
}

void drawEnd(SDL_Renderer* display, game::EndState state, const Textures& textures) {
    SDL_Texture* picture = nullptr;
    if (state == game::EndState::win) {
        picture = textures.win;
    } else if (state == game::EndState::lose) {
        picture = textures.lose;
    } else {
        return;  // none, or a value outside the enumeration: the match goes on
    }
    // Centred, truncating toward zero: 803 pixels wide starts at x -1.
    const int64_t x = (window::width - oskasdl::width(picture)) / 2;
    const int64_t y = (window::height - oskasdl::height(picture)) / 2;
    window::copy(display, picture, x, y);
}

}  // namespace

void drawHUD(SDL_Renderer* display, const game::World& world, const Textures& textures,
             uint32_t nowMs) {
    const game::Player& own = ownPlayer(world);
    drawLives(display, own);
    drawAmmo(display, own);
    drawBadge(display, static_cast<uint32_t>(world.myself));
    drawPoints(display, world, nowMs);
    drawEnd(display, world.endState, textures);
}

}  // namespace brallo
