#include "brallo/main/draw.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include "canvas.h"
#include "oskasdl/system.h"

namespace brallo {
namespace {

using game::Color;
using game::Vec;
using testing::background;
using testing::Canvas;

constexpr int32_t minInt = std::numeric_limits<int32_t>::min();
constexpr int32_t maxInt = std::numeric_limits<int32_t>::max();
constexpr Color blinkColor{0, 150, 200};
constexpr Color thingA{9, 99, 199};
constexpr Color thingB{5, 6, 7};
constexpr Color thingC{11, 12, 13};
constexpr Color unusedThing{8, 9, 10};

// ---- colorOf ----

struct ColorCase {
    uint32_t index;
    Color color;
};
std::ostream& operator<<(std::ostream& os, const ColorCase& c) {
    return os << "index " << c.index;
}

class ColorOf : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorOf, FirstEight) {
    EXPECT_EQ(colorOf(GetParam().index), GetParam().color);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColorOf,
    ::testing::Values(ColorCase{0, {200, 0, 115}}, ColorCase{1, {117, 213, 48}},
                      ColorCase{2, {34, 170, 237}}, ColorCase{3, {207, 127, 170}},
                      ColorCase{4, {124, 84, 103}}, ColorCase{5, {41, 41, 36}},
                      ColorCase{6, {214, 254, 225}}, ColorCase{7, {131, 211, 158}}));

TEST(ColorOfWrap, RepeatsEvery256Indices) {
    for (uint32_t i = 0; i < 256; ++i) {
        EXPECT_EQ(colorOf(i + 256), colorOf(i)) << i;
        EXPECT_EQ(colorOf(i + 256u * 1000u), colorOf(i)) << i;
    }
    EXPECT_EQ(colorOf(std::numeric_limits<uint32_t>::max()), colorOf(255));
    EXPECT_NE(colorOf(1), colorOf(0));
}

// ---- the world ----

// One world, one canvas, small pictures; players are added where each test needs them. The own
// player is the first one unless a test says otherwise.
class DrawWorld : public ::testing::Test {
  protected:
    Canvas canvas;
    Textures textures = testing::smallTextures(canvas);
    game::World world;

    DrawWorld() { world.myself = 0; }

    game::Player& addPlayer(Vec<int32_t> pos) {
        game::Player p;
        p.pos = pos;
        world.players.push_back(p);
        return world.players.back();
    }
    void addThing(Vec<int32_t> pos, int32_t size, Color color, bool used) {
        game::ThingContainer tc;
        tc.used = used;
        tc.t.pos = pos;
        tc.t.size = size;
        tc.t.color = color;
        world.things.push_back(tc);
    }
    void paint(Vec<int32_t> cam) { draw(canvas.renderer(), cam, world, textures, 0); }
};

TEST_F(DrawWorld, BodyFollowsTheCamera) {
    addPlayer({1000, 500});
    Vec<int32_t> cam{0, 0};
    adjustCam(cam, world.players[0]);
    paint(cam);
    const Color own = colorOf(0);
    EXPECT_EQ(canvas.at(540, 333), testing::rightEyes);  // eyes at the body's top-left
    EXPECT_EQ(canvas.at(546, 333), own);
    EXPECT_EQ(canvas.at(540, 337), own);
    EXPECT_EQ(canvas.at(559, 367), own);  // 20 by 35
    EXPECT_EQ(canvas.at(539, 350), background);
    EXPECT_EQ(canvas.at(560, 350), background);
    EXPECT_EQ(canvas.at(550, 332), background);
    EXPECT_EQ(canvas.at(550, 368), background);
}

// ---- parallax ----

struct Layer {
    int x, y;  // expected top-left in the window
};

struct ParallaxCase {
    const char* name;
    Vec<int32_t> cam;
    Layer far, near, level;
};
std::ostream& operator<<(std::ostream& os, const ParallaxCase& c) {
    return os << c.name;
}

class Parallax : public DrawWorld, public ::testing::WithParamInterface<ParallaxCase> {
  protected:
    // The layer of `size` and `color` has its top-left at `at`: its bottom-right pixel is its
    // own and the pixels just past each edge are not.
    void expectLayer(const char* what, Layer at, int size, Color color) {
        SCOPED_TRACE(what);
        const int right = at.x + size - 1;
        const int bottom = at.y + size - 1;
        if (right < 0 || bottom < 0 || right >= 799 || bottom >= 599) return;
        EXPECT_EQ(canvas.at(right, bottom), color);
        EXPECT_NE(canvas.at(right + 1, bottom), color);
        EXPECT_NE(canvas.at(right, bottom + 1), color);
        if (at.x > 0) {
            EXPECT_NE(canvas.at(at.x - 1, bottom), color);
        }
        if (at.y > 0) {
            EXPECT_NE(canvas.at(right, at.y - 1), color);
        }
    }
};

TEST_P(Parallax, LayersTruncateTowardZero) {
    const ParallaxCase& c = GetParam();
    // Each nearer layer is smaller, so no layer hides the corner of the one behind it.
    textures.parallax5 = canvas.picture(300, 300, testing::farColor);
    textures.parallax2 = canvas.picture(200, 200, testing::nearColor);
    textures.foreground = canvas.picture(100, 100, testing::levelColor);
    addPlayer({-100000, -100000});  // the own player, far off-window
    paint(c.cam);
    expectLayer("parallax5", c.far, 300, testing::farColor);
    expectLayer("parallax2", c.near, 200, testing::nearColor);
    expectLayer("foreground", c.level, 100, testing::levelColor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Parallax,
    ::testing::Values(ParallaxCase{"origin", {0, 0}, {0, 0}, {0, 0}, {0, 0}},
                      ParallaxCase{"positiveCamera", {7, 3}, {-1, 0}, {-3, -1}, {-7, -3}},
                      ParallaxCase{"negativeCamera", {-7, -3}, {1, 0}, {3, 1}, {7, 3}},
                      ParallaxCase{"mixedSigns", {3, -8}, {0, 1}, {-1, 4}, {-3, 8}},
                      ParallaxCase{"farAway", {-1000, -500}, {200, 100}, {500, 250}, {1000, 500}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- players ----

struct BlinkCase {
    int32_t invicible;
    bool blinks;
};
std::ostream& operator<<(std::ostream& os, const BlinkCase& c) {
    return os << "invicible " << c.invicible;
}

class Blink : public DrawWorld, public ::testing::WithParamInterface<BlinkCase> {};

TEST_P(Blink, RemainderAboveFiveOfTenShowsTheBlinkColour) {
    addPlayer({100, 300});
    addPlayer({300, 300}).invicible = GetParam().invicible;
    paint({0, 0});
    EXPECT_EQ(canvas.at(310, 320), GetParam().blinks ? blinkColor : colorOf(1));
    EXPECT_EQ(canvas.at(110, 320), colorOf(0));  // a player's blink leaves the others alone
}

INSTANTIATE_TEST_SUITE_P(Counts, Blink,
                         ::testing::Values(BlinkCase{16, true}, BlinkCase{9, true},
                                           BlinkCase{6, true}, BlinkCase{15, false},
                                           BlinkCase{10, false}, BlinkCase{0, false},
                                           BlinkCase{-4, false}, BlinkCase{-16, false},
                                           BlinkCase{minInt, false}, BlinkCase{maxInt, true}));

struct PoseCase {
    const char* name;
    bool crouching;
    bool looksLeft;
    int top;     // window y of the body's top for a player at y 300
    int height;  // of the body
    Color eyes;
};
std::ostream& operator<<(std::ostream& os, const PoseCase& c) {
    return os << c.name;
}

class Pose : public DrawWorld, public ::testing::WithParamInterface<PoseCase> {};

TEST_P(Pose, BodyAndEyesSitAtTheTopOfTheBox) {
    const PoseCase& c = GetParam();
    game::Player& p = addPlayer({300, 300});
    p.crouching = c.crouching;
    p.looksLeft = c.looksLeft;
    paint({0, 0});
    const Color own = colorOf(0);
    const int bottom = c.top + c.height - 1;
    EXPECT_EQ(canvas.at(300, c.top), c.eyes);
    EXPECT_EQ(canvas.at(300 + testing::eyeW - 1, c.top + testing::eyeH - 1), c.eyes);
    EXPECT_EQ(canvas.at(300 + testing::eyeW, c.top), own);
    EXPECT_EQ(canvas.at(300, c.top + testing::eyeH), own);
    EXPECT_EQ(canvas.at(319, bottom), own);
    EXPECT_EQ(canvas.at(319, c.top - 1), background);
    EXPECT_EQ(canvas.at(319, bottom + 1), background);
    EXPECT_EQ(canvas.at(320, bottom), background);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pose,
    ::testing::Values(PoseCase{"standingRight", false, false, 300, 35, testing::rightEyes},
                      PoseCase{"standingLeft", false, true, 300, 35, testing::leftEyes},
                      PoseCase{"crouchingRight", true, false, 310, 25, testing::rightEyes},
                      PoseCase{"crouchingLeft", true, true, 310, 25, testing::leftEyes}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DrawWorld, LaterPlayersAndThingsPaintOver) {
    addPlayer({300, 300});
    addPlayer({310, 300});
    addThing({325, 320}, 2, thingA, true);
    paint({0, 0});
    EXPECT_EQ(canvas.at(309, 320), colorOf(0));
    EXPECT_EQ(canvas.at(316, 320), colorOf(1));  // over player 0
    EXPECT_EQ(canvas.at(323, 318), thingA);      // a thing lies over the players
    EXPECT_EQ(canvas.at(327, 322), thingA);
    EXPECT_EQ(canvas.at(328, 322), colorOf(1));
}

TEST_F(DrawWorld, OnlyUsedThingsAreDrawn) {
    addPlayer({-100000, -100000});
    addThing({400, 300}, 3, thingB, true);
    addThing({500, 300}, 3, unusedThing, false);
    addThing({600, 300}, 0, thingC, true);
    paint({0, 0});
    EXPECT_EQ(canvas.at(397, 297), thingB);  // a square of side 7 around the centre
    EXPECT_EQ(canvas.at(403, 303), thingB);
    EXPECT_EQ(canvas.at(396, 300), background);
    EXPECT_EQ(canvas.at(404, 300), background);
    EXPECT_EQ(canvas.at(500, 300), background);
    EXPECT_EQ(canvas.at(600, 300), thingC);  // size 0 is one pixel
    EXPECT_EQ(canvas.at(601, 300), background);
}

TEST_F(DrawWorld, PartlyVisibleShapesKeepTheirVisiblePart) {
    addPlayer({-10, 300}).looksLeft = true;
    addThing({799, 599}, 2, thingB, true);
    paint({0, 0});
    EXPECT_EQ(canvas.at(0, 310), colorOf(0));
    EXPECT_EQ(canvas.at(9, 334), colorOf(0));
    EXPECT_EQ(canvas.at(10, 334), background);
    EXPECT_EQ(canvas.at(0, 300), colorOf(0));  // the eyes (6 wide) lie wholly left of x 0
    EXPECT_EQ(canvas.at(797, 597), thingB);
    EXPECT_EQ(canvas.at(796, 597), background);
}

TEST_F(DrawWorld, ExtremeCameraAndPositionsStayInsideTheIntRange) {
    // Offsets of 2^31 and beyond: nothing may wrap onto the window.
    addPlayer({minInt, minInt});
    addPlayer({maxInt, maxInt});
    addThing({maxInt, minInt}, 5, thingB, true);
    addThing({minInt, maxInt}, 5, thingB, true);
    textures.foreground = canvas.picture(100, 100, testing::levelColor);
    paint({minInt, minInt});
    // The first player is exactly at the camera: its body starts at the window's corner.
    EXPECT_EQ(canvas.at(0, 0), testing::rightEyes);
    EXPECT_EQ(canvas.at(0, 34), colorOf(0));
    EXPECT_EQ(canvas.at(0, 35), background);
    for (int x : {50, 400, 799}) {
        for (int y : {300, 599}) EXPECT_EQ(canvas.at(x, y), background) << x << "," << y;
    }

    canvas.clear();
    paint({maxInt, maxInt});
    EXPECT_EQ(canvas.at(400, 300), background);
    EXPECT_EQ(canvas.at(0, 599), background);
}

// ---- failures ----

class OwnPlayerMissing : public DrawWorld, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OwnPlayerMissing, ThrowsInsteadOfReadingOutsideTheTable) {
    addPlayer({300, 300});
    addPlayer({400, 300});
    world.myself = GetParam();
    EXPECT_THROW(paint({0, 0}), game::GameError);
    EXPECT_THROW(drawHUD(canvas.renderer(), world, textures, 0), game::GameError);
    EXPECT_THROW(ownPlayer(world), game::GameError);
}

INSTANTIATE_TEST_SUITE_P(Numbers, OwnPlayerMissing, ::testing::Values(-1, 2, 3, maxInt, minInt));

TEST_F(DrawWorld, AMissingPictureRaisesSDLException) {
    addPlayer({-100000, -100000});
    textures.parallax5 = nullptr;
    EXPECT_THROW(paint({0, 0}), oskasdl::SDLException);
    textures = testing::smallTextures(canvas);
    textures.lookLeft = nullptr;  // unused while every player looks right
    EXPECT_NO_THROW(paint({0, 0}));
    world.players[0].looksLeft = true;
    EXPECT_THROW(paint({0, 0}), oskasdl::SDLException);
}

}  // namespace
}  // namespace brallo
