// The pictures: the foreground shows the map's shapes at exactly their pixels, the parallax
// layers cover the window wherever the camera can go, and the shared pictures are see-through
// where they must be.
#include <gtest/gtest.h>

#include <string>

#include "font.h"
#include "foreground.h"
#include "mapshape.h"
#include "parallax.h"
#include "shared.h"

namespace brallo::mapgen {
namespace {

struct Box {
    int32_t x, y, w, h;
};

// Every pixel of the box is opaque, and the pixels just outside each of its four edges are
// transparent (where they lie inside the picture).
void expectOpaqueExactlyInside(const Canvas& c, const Box& b) {
    for (int32_t y = b.y; y < b.y + b.h; ++y) {
        for (int32_t x = b.x; x < b.x + b.w; ++x) {
            ASSERT_EQ(c.at(x, y).a, 255) << "inside at " << x << "," << y;
        }
    }
    for (int32_t x = b.x - 1; x <= b.x + b.w; ++x) {
        for (int32_t y : {b.y - 1, b.y + b.h}) {
            if (c.contains(x, y)) {
                EXPECT_EQ(c.at(x, y).a, 0) << "outside at " << x << "," << y;
            }
        }
    }
    for (int32_t y = b.y; y < b.y + b.h; ++y) {
        for (int32_t x : {b.x - 1, b.x + b.w}) {
            if (c.contains(x, y)) {
                EXPECT_EQ(c.at(x, y).a, 0) << "outside at " << x << "," << y;
            }
        }
    }
}

constexpr std::string_view tinyMap =
    "c:40|60|90|0\r\n"
    "b:10|20|30|5\r\n"
    "p:50|40|20|4\r\n"
    "s:100|30|0|0\r\n"
    "g:130|30|0|0\r\n";

TEST(Foreground, ShowsBlocksPlatformsAndSpotsAtTheirPixels) {
    const MapShape shape = loadMapShape(tinyMap);
    const Canvas c = renderForeground(shape);
    // From the origin to the far corner of the gold spot (130 + 6, 30 + 6).
    EXPECT_EQ(c.width(), 137);
    EXPECT_EQ(c.height(), 44);
    expectOpaqueExactlyInside(c, {10, 20, 30, 5});
    expectOpaqueExactlyInside(c, {50, 40, 20, 4});
    EXPECT_EQ(c.at(0, 0).a, 0);

    const struct {
        int32_t cx, cy;
        Pixel color;
    } spots[] = {{100, 30, rgb(150, 150, 200)}, {130, 30, rgb(200, 180, 130)}};
    for (const auto& s : spots) {
        for (int32_t y = s.cy - 6; y <= s.cy + 6; ++y) {
            for (int32_t x = s.cx - 6; x <= s.cx + 6; ++x) ASSERT_EQ(c.at(x, y).a, 255);
        }
        EXPECT_EQ(c.at(s.cx, s.cy), s.color);
        // The glow fades out within a few pixels.
        EXPECT_LT(c.at(s.cx - 8, s.cy).a, 255);
        EXPECT_EQ(c.at(s.cx - 11, s.cy).a, 0);
    }
}

TEST(Foreground, CutsOffShapesLeftOfTheOriginAndRefusesHugeMaps) {
    const Canvas c = renderForeground(loadMapShape("b:-5|-5|10|10\r\n"));
    EXPECT_EQ(c.width(), 5);
    EXPECT_EQ(c.height(), 5);
    EXPECT_EQ(c.at(4, 4).a, 255);
    EXPECT_THROW(renderForeground(loadMapShape("b:0|0|100000|10\r\n")), std::runtime_error);
}

TEST(Foreground, EmptyMapStillHasSomeOpacity) {
    // A picture whose every alpha byte is 0 would be drawn opaque by the game.
    const Canvas c = renderForeground(loadMapShape(""));
    EXPECT_GT(c.at(0, 0).a, 0);
    EXPECT_LT(c.at(0, 0).a, 8);
}

// Camera positions a player inside the map can cause, and the window corner where each layer
// lands; the layer must reach the window's right and bottom edges.
TEST(Parallax, LayersCoverTheWindowWhereverTheCameraGoes) {
    for (std::string_view map :
         {std::string_view("b:0|0|2000|1000\r\n"), std::string_view("b:0|600|800|40\r\n"),
          std::string_view("b:0|0|40|3000\r\n")}) {
        const MapShape shape = loadMapShape(map);
        for (int32_t divisor : {2, 5}) {
            const LayerSize size = layerSize(shape, divisor);
            // The farthest the camera goes: the player's centre (right - 10, bottom - 18) at
            // the window point (250, 250).
            const int32_t camX = shape.maxX - 10 - 250, camY = shape.maxY - 18 - 250;
            for (int32_t cx = 0; cx <= camX; cx += 7) {
                EXPECT_GE(-cx / divisor + size.width, 800) << map << " x " << cx;
            }
            for (int32_t cy = 0; cy <= camY; cy += 7) {
                EXPECT_GE(-cy / divisor + size.height, 600) << map << " y " << cy;
            }
        }
        const Canvas far = renderFarLayer(shape);
        EXPECT_EQ(far.width(), layerSize(shape, 5).width);
        for (int32_t y = 0; y < far.height(); y += 13) {
            for (int32_t x = 0; x < far.width(); x += 13) ASSERT_EQ(far.at(x, y).a, 255);
        }
        const Canvas near = renderNearLayer(shape);
        EXPECT_EQ(near.height(), layerSize(shape, 2).height);
        EXPECT_EQ(near.at(near.width() - 1, 0).a, 0) << "the sky is see-through";
        EXPECT_EQ(near.at(near.width() - 1, near.height() - 1).a, 255) << "the hills are not";
    }
}

// The mean column of the dark pupil pixels, times their count, and the count.
struct Pupils {
    int32_t sumX = 0, count = 0;
};

TEST(SharedPictures, EyesAreOpaqueOnlyOnTheEyesAndLookTheirWay) {
    Pupils pupils[2];
    for (bool left : {true, false}) {
        const Canvas eyes = renderEyes(left);
        EXPECT_EQ(eyes.width(), 20);
        EXPECT_EQ(eyes.height(), 12);
        EXPECT_EQ(eyes.at(0, 0).a, 0);
        EXPECT_EQ(eyes.at(19, 11).a, 0);
        int32_t opaque = 0;
        for (int32_t y = 0; y < eyes.height(); ++y) {
            for (int32_t x = 0; x < eyes.width(); ++x) {
                const Pixel p = eyes.at(x, y);
                ASSERT_TRUE(p.a == 0 || p.a == 255) << "no half-transparent pixels";
                if (p.a == 0) continue;
                ++opaque;
                if (p.r < 30) {
                    pupils[left].sumX += x;
                    pupils[left].count += 1;
                }
            }
        }
        // Two eyes and nothing else: well under half of the picture.
        EXPECT_GT(opaque, 40);
        EXPECT_LT(opaque, 20 * 12 / 2);
        EXPECT_GT(pupils[left].count, 0);
    }
    // Pupils sit further left in the left-looking eyes.
    EXPECT_LT(pupils[1].sumX * pupils[0].count, pupils[0].sumX * pupils[1].count);
}

TEST(SharedPictures, BannerIsOpaqueAndCarriesItsTitle) {
    const Canvas b = renderBanner("YOU WIN!", "WELL PLAYED", true);
    EXPECT_EQ(b.width(), 400);
    EXPECT_EQ(b.height(), 200);
    for (int32_t y = 0; y < b.height(); y += 3) {
        for (int32_t x = 0; x < b.width(); x += 3) ASSERT_EQ(b.at(x, y).a, 255);
    }
    // The top-left pixel of the Y's left stroke: title centred, scale 6, at y 48.
    const int32_t titleX = (400 - textWidth("YOU WIN!", 6)) / 2;
    EXPECT_EQ(b.at(titleX + 2, 50), rgb(255, 226, 110));
    EXPECT_NE(b.at(titleX + 2 * 6 + 2, 50), rgb(255, 226, 110)) << "the gap between Y's arms";
}

TEST(Font, GlyphsAndWidths) {
    EXPECT_EQ(textWidth("", 3), 0);
    EXPECT_EQ(textWidth("A", 1), 5);
    EXPECT_EQ(textWidth("AB", 2), 22);
    EXPECT_TRUE(glyphPixel('L', 0, 0));
    EXPECT_FALSE(glyphPixel('L', 4, 0));
    EXPECT_TRUE(glyphPixel('L', 4, 6));
    EXPECT_EQ(glyphPixel('w', 0, 0), glyphPixel('W', 0, 0)) << "lower case drawn as capitals";
    EXPECT_FALSE(glyphPixel('~', 2, 3)) << "unknown characters are blank";
    EXPECT_FALSE(glyphPixel('A', 5, 0));
    EXPECT_FALSE(glyphPixel('A', 0, -1));
}

}  // namespace
}  // namespace brallo::mapgen
