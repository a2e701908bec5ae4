#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <vector>

#include "brallo/game/weapon.h"
#include "brallo/main/draw.h"
#include "canvas.h"
#include "oskasdl/system.h"

namespace brallo {
namespace {

using game::Color;
using testing::background;
using testing::Canvas;

constexpr int32_t minInt = std::numeric_limits<int32_t>::min();
constexpr int32_t maxInt = std::numeric_limits<int32_t>::max();
constexpr Color frameGrey{75, 75, 75};
constexpr Color lifeRed{255, 0, 0};
constexpr Color ammoGrey{150, 150, 150};
constexpr Color marker{90, 90, 0};

// A world whose players sit far outside the window, so only the HUD shows.
class Hud : public ::testing::Test {
  protected:
    Canvas canvas;
    Textures textures = testing::smallTextures(canvas);
    game::World world;

    void setPlayers(const std::vector<int32_t>& points, int32_t myself = 0) {
        world.players.assign(points.size(), game::Player{});
        for (size_t i = 0; i < points.size(); ++i) {
            world.players[i].pos = {-100000, -100000};
            world.players[i].points = points[i];
        }
        world.myself = myself;
    }
    game::Player& own() { return world.players[static_cast<size_t>(world.myself)]; }
    void paint(uint32_t nowMs = 0) { drawHUD(canvas.renderer(), world, textures, nowMs); }
};

// ---- lives ----

struct LiveCase {
    int32_t live;
    int redSlots;
};
std::ostream& operator<<(std::ostream& os, const LiveCase& c) {
    return os << "live " << c.live;
}

class Lives : public Hud, public ::testing::WithParamInterface<LiveCase> {};

TEST_P(Lives, FiveSlotsRedWhileTheLifeRemains) {
    setPlayers({0});
    own().live = GetParam().live;
    paint();
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const int x = 1 + 31 * i;
        EXPECT_EQ(canvas.at(x, 5), frameGrey);
        EXPECT_EQ(canvas.at(x + 25, 33), frameGrey);
        EXPECT_EQ(canvas.at(x + 2, 20), frameGrey);  // the frame around the inside
        const Color inside = i < GetParam().redSlots ? lifeRed : frameGrey;
        EXPECT_EQ(canvas.at(x + 3, 7), inside);
        EXPECT_EQ(canvas.at(x + 22, 31), inside);
        EXPECT_EQ(canvas.at(x + 27, 20), background);  // the gap to the next slot
        EXPECT_EQ(canvas.at(x + 3, 34), background);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, Lives,
                         ::testing::Values(LiveCase{3, 3}, LiveCase{0, 0}, LiveCase{1, 1},
                                           LiveCase{5, 5}, LiveCase{7, 5}, LiveCase{-1, 0},
                                           LiveCase{maxInt, 5}, LiveCase{minInt, 0}));

// ---- ammunition ----

struct AmmoCase {
    int32_t ammo;
    int lastFrameX;  // -1: no squares
};
std::ostream& operator<<(std::ostream& os, const AmmoCase& c) {
    return os << "ammo " << c.ammo;
}

class Ammo : public Hud, public ::testing::WithParamInterface<AmmoCase> {};

TEST_P(Ammo, OneSquarePerUnitInTheWeaponColour) {
    setPlayers({0});
    own().weapon = &game::fireBall;
    own().ammo = GetParam().ammo;
    paint();
    const Color weapon = game::fireBall.color;
    const int last = GetParam().lastFrameX;
    if (last < 0) {
        EXPECT_EQ(canvas.at(10, 39), background);
        EXPECT_EQ(canvas.at(11, 40), background);
        return;
    }
    EXPECT_EQ(canvas.at(10, 39), ammoGrey);
    EXPECT_EQ(canvas.at(11, 40), weapon);
    EXPECT_EQ(canvas.at(last, 39), ammoGrey);
    EXPECT_EQ(canvas.at(last + 9, 48), ammoGrey);
    EXPECT_EQ(canvas.at(last + 1, 40), weapon);
    EXPECT_EQ(canvas.at(last + 8, 47), weapon);
    EXPECT_EQ(canvas.at(last, 49), background);
    if (last + 10 < 800) {
        EXPECT_EQ(canvas.at(last + 10, 39), background);
    }
    if (last + 12 < 800) {
        EXPECT_EQ(canvas.at(last + 12, 39), background);
    }
}

// A huge count draws the squares up to the window's edge and no further (without looping
// billions of times).
INSTANTIATE_TEST_SUITE_P(Counts, Ammo,
                         ::testing::Values(AmmoCase{0, -1}, AmmoCase{-5, -1}, AmmoCase{1, 10},
                                           AmmoCase{20, 238}, AmmoCase{66, 790}, AmmoCase{67, 790},
                                           AmmoCase{maxInt, 790}));

TEST_F(Hud, AmmoWithoutAWeaponStaysGrey) {
    setPlayers({0});
    own().weapon = nullptr;
    own().ammo = 2;
    paint();
    EXPECT_EQ(canvas.at(11, 40), ammoGrey);
    EXPECT_EQ(canvas.at(23, 40), ammoGrey);
    EXPECT_EQ(canvas.at(34, 40), background);
}

// ---- colour badge ----

TEST_F(Hud, BadgeShowsTheOwnColour) {
    setPlayers({0, 0, 0}, 2);
    paint();
    EXPECT_EQ(canvas.at(170, 5), frameGrey);
    EXPECT_EQ(canvas.at(219, 24), frameGrey);
    EXPECT_EQ(canvas.at(172, 7), colorOf(2));
    EXPECT_EQ(canvas.at(217, 22), colorOf(2));
    EXPECT_EQ(canvas.at(220, 5), background);
    EXPECT_EQ(canvas.at(170, 25), background);
}

// ---- points ----

TEST_F(Hud, BarsOfThreePlayersTouch) {
    setPlayers({1, 4, 0});
    paint();
    EXPECT_EQ(canvas.at(0, 55), colorOf(0));
    EXPECT_EQ(canvas.at(19, 74), colorOf(0));
    EXPECT_EQ(canvas.at(20, 55), background);
    EXPECT_EQ(canvas.at(0, 75), colorOf(1));
    EXPECT_EQ(canvas.at(79, 94), colorOf(1));
    EXPECT_EQ(canvas.at(80, 75), background);
    EXPECT_EQ(canvas.at(0, 95), background);  // no points, no bar (not even a line)
    EXPECT_EQ(canvas.at(0, 114), background);
}

struct BarCase {
    int32_t points;
    int width;
};
std::ostream& operator<<(std::ostream& os, const BarCase& c) {
    return os << "points " << c.points;
}

class Bar : public Hud, public ::testing::WithParamInterface<BarCase> {};

TEST_P(Bar, TwentyPixelsPerPoint) {
    setPlayers({GetParam().points});
    world.winPoints = 1000;
    paint();
    const int w = GetParam().width;
    if (w > 0) {
        EXPECT_EQ(canvas.at(w - 1, 55), colorOf(0));
        EXPECT_EQ(canvas.at(w - 1, 74), colorOf(0));
        EXPECT_EQ(canvas.at(0, 75), background);
    }
    if (w < 800) {
        EXPECT_EQ(canvas.at(w, 55), background);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, Bar,
                         ::testing::Values(BarCase{0, 0}, BarCase{1, 20}, BarCase{4, 80},
                                           BarCase{-3, 0}, BarCase{39, 780}, BarCase{40, 800},
                                           BarCase{maxInt, 800}, BarCase{minInt, 0}));

TEST_F(Hud, BarsRunOffTheBottom) {
    setPlayers(std::vector<int32_t>(40, 1));
    paint();
    EXPECT_EQ(canvas.at(19, 594), colorOf(26));
    EXPECT_EQ(canvas.at(19, 599), colorOf(27));  // the last bar that starts inside the window
}

struct BlinkCase {
    uint32_t nowMs;
    bool shown;
};
std::ostream& operator<<(std::ostream& os, const BlinkCase& c) {
    return os << "nowMs " << c.nowMs;
}

class PointsBlink : public Hud, public ::testing::WithParamInterface<BlinkCase> {};

TEST_P(PointsBlink, OnePointShortOfWinningBlinks) {
    setPlayers({2, 1, 3});
    world.winPoints = 3;
    paint(GetParam().nowMs);
    EXPECT_EQ(canvas.at(39, 55), GetParam().shown ? colorOf(0) : background);
    EXPECT_EQ(canvas.at(19, 75), colorOf(1));  // the others never blink
    EXPECT_EQ(canvas.at(59, 95), colorOf(2));
}

INSTANTIATE_TEST_SUITE_P(Clock, PointsBlink,
                         ::testing::Values(BlinkCase{0, true}, BlinkCase{332, true},
                                           BlinkCase{333, false}, BlinkCase{666, false},
                                           BlinkCase{667, true}, BlinkCase{1000, false},
                                           BlinkCase{1334, true},
                                           BlinkCase{std::numeric_limits<uint32_t>::max(), true}));

TEST_F(Hud, WinPointsAtTheLowEndDoNotWrapIntoABlink) {
    // minInt - 1 is not maxInt: nobody is one point short.
    setPlayers({maxInt});
    world.winPoints = minInt;
    paint(333);
    EXPECT_EQ(canvas.at(799, 55), colorOf(0));
}

// ---- end picture ----

struct EndCase {
    const char* name;
    game::EndState state;
    int w, h;
    int x, y;  // expected top-left
};
std::ostream& operator<<(std::ostream& os, const EndCase& c) {
    return os << c.name;
}

class EndPicture : public Hud, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndPicture, CentredOverEverything) {
    const EndCase& c = GetParam();
    setPlayers({40});  // a full-width bar under the picture
    world.endState = c.state;
    const bool win = c.state == game::EndState::win;
    const Color body = win ? testing::winColor : testing::loseColor;
    // Column 1 and row 1 are marked, so the position shows even when column 0 is off-window.
    (win ? textures.win : textures.lose) = canvas.picture(c.w, c.h, body, &marker);
    paint();
    EXPECT_EQ(canvas.at(c.x + 1, c.y + 2), marker);
    EXPECT_EQ(canvas.at(c.x + 2, c.y + 1), marker);
    EXPECT_EQ(canvas.at(c.x + 2, c.y + 2), body);
    if (c.x >= 0) {
        EXPECT_EQ(canvas.at(c.x, c.y + 2), body);
    }
    if (c.x >= 1) {
        EXPECT_NE(canvas.at(c.x - 1, c.y + 2), body);
    }
    if (c.y >= 1) {
        EXPECT_NE(canvas.at(c.x + 2, c.y - 1), body);
    }
    EXPECT_EQ(canvas.at(c.x + c.w - 1 < 800 ? c.x + c.w - 1 : 799, 300), body);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, EndPicture,
    ::testing::Values(EndCase{"win400x300", game::EndState::win, 400, 300, 200, 150},
                      EndCase{"lose400x300", game::EndState::lose, 400, 300, 200, 150},
                      EndCase{"win801wide", game::EndState::win, 801, 300, 0, 150},
                      EndCase{"win803wide", game::EndState::win, 803, 300, -1, 150},
                      EndCase{"lose603high", game::EndState::lose, 400, 603, 200, -1},
                      EndCase{"win3x3", game::EndState::win, 3, 3, 398, 298}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hud, NoEndPictureWhileTheMatchRuns) {
    setPlayers({0});
    textures.win = canvas.picture(800, 600, testing::winColor);
    textures.lose = canvas.picture(800, 600, testing::loseColor);
    world.endState = game::EndState::none;
    paint();
    EXPECT_EQ(canvas.at(400, 300), background);
}

TEST_F(Hud, AMissingEndPictureRaisesSDLException) {
    setPlayers({0});
    textures.win = nullptr;
    EXPECT_NO_THROW(paint());  // not needed before the match is won
    world.endState = game::EndState::win;
    EXPECT_THROW(paint(), oskasdl::SDLException);
}

TEST_F(Hud, LiesOverTheWorldAndTheEndPictureOverAll) {
    setPlayers({0});
    own().pos = {0, 0};
    draw(canvas.renderer(), {0, 0}, world, textures, 0);
    EXPECT_EQ(canvas.at(10, 20), lifeRed);  // over the own player's body
    EXPECT_EQ(canvas.at(0, 20), colorOf(0));

    textures.win = canvas.picture(800, 600, testing::winColor);
    world.endState = game::EndState::win;
    draw(canvas.renderer(), {0, 0}, world, textures, 0);
    EXPECT_EQ(canvas.at(10, 20), testing::winColor);
    EXPECT_EQ(canvas.at(0, 20), testing::winColor);
}

}  // namespace
}  // namespace brallo
