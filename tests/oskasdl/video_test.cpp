// Drawing of the wrapper's video module, checked by reading pixels back from a software renderer.
#include "oskasdl/video.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "oskasdl/system.h"

namespace {

using oskasdl::Color;

bool operator==(const SDL_Rect& a, const SDL_Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

struct Pixel {
    uint8_t r, g, b, a;
    bool operator==(const Pixel&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
    return out << "(" << +p.r << "," << +p.g << "," << +p.b << "," << +p.a << ")";
}

// The colour of the test picture at (i, j): different in every pixel, so a shifted or
// mirrored copy shows.
Pixel pictureAt(int i, int j) {
    return {static_cast<uint8_t>(20 + 20 * i), static_cast<uint8_t>(30 + 30 * j), 7, 255};
}

constexpr Pixel background{0, 0, 0, 0};

class Canvas : public ::testing::Test {
  protected:
    void SetUp() override {
        surface = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        renderer = SDL_CreateSoftwareRenderer(surface);
        ASSERT_NE(renderer, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(surface);
    }

    Pixel at(int x, int y) {
        SDL_RenderFlush(renderer);
        const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
        const Uint32 value = reinterpret_cast<const Uint32*>(row)[x];
        Pixel p{};
        SDL_GetRGBA(value, surface->format, &p.r, &p.g, &p.b, &p.a);
        return p;
    }

    // A 8 by 5 opaque texture whose every pixel differs.
    SDL_Texture* picture() {
        SDL_Surface* s =
            SDL_CreateRGBSurfaceWithFormat(0, pictureW, pictureH, 32, SDL_PIXELFORMAT_RGB888);
        for (int j = 0; j < pictureH; ++j)
            for (int i = 0; i < pictureW; ++i) {
                const Pixel p = pictureAt(i, j);
                auto* row = static_cast<uint8_t*>(s->pixels) + j * s->pitch;
                reinterpret_cast<Uint32*>(row)[i] = SDL_MapRGB(s->format, p.r, p.g, p.b);
            }
        SDL_Texture* t = oskasdl::fromSurface(renderer, s);
        EXPECT_NE(s->pixels, nullptr);  // fromSurface leaves the surface alive
        SDL_FreeSurface(s);
        return t;
    }

    static constexpr int pictureW = 8;
    static constexpr int pictureH = 5;
    SDL_Surface* surface = nullptr;
    SDL_Renderer* renderer = nullptr;
};

TEST_F(Canvas, SetColorReturnsTheRendererItWasGiven) {
    EXPECT_EQ(oskasdl::setColor(renderer, Color{1, 2, 3}), renderer);
}

TEST_F(Canvas, FillRectCoversExactlyTheRectangleOpaque) {
    oskasdl::fillRect(oskasdl::setColor(renderer, Color{200, 100, 50}), SDL_Rect{10, 20, 30, 40});
    const Pixel fill{200, 100, 50, 255};
    for (auto [x, y] : {std::pair{10, 20}, {39, 20}, {10, 59}, {39, 59}, {25, 40}})
        EXPECT_EQ(at(x, y), fill) << x << "," << y;
    for (auto [x, y] : {std::pair{9, 20}, {40, 20}, {10, 19}, {10, 60}, {39, 60}})
        EXPECT_EQ(at(x, y), background) << x << "," << y;
}

TEST_F(Canvas, TextureSize) {
    SDL_Texture* t = picture();
    EXPECT_EQ(oskasdl::width(t), pictureW);
    EXPECT_EQ(oskasdl::height(t), pictureH);
    SDL_DestroyTexture(t);
}

TEST_F(Canvas, FailuresRaise) {
    EXPECT_THROW(oskasdl::width(static_cast<SDL_Texture*>(nullptr)), oskasdl::SDLException);
    EXPECT_THROW(oskasdl::height(static_cast<SDL_Texture*>(nullptr)), oskasdl::SDLException);
    EXPECT_THROW(oskasdl::fromSurface(renderer, nullptr), oskasdl::SDLException);
    EXPECT_THROW(oskasdl::renderCopy(renderer, nullptr, 0, 0), oskasdl::SDLException);
}

struct CopyCase {
    const char* name;
    int x, y;
};

class RenderCopy : public Canvas, public ::testing::WithParamInterface<CopyCase> {};

// The whole texture lands at its own size with its top-left corner at (x, y); pixels that
// fall outside the canvas are clipped and the rest stays untouched.
TEST_P(RenderCopy, WholeTextureAtOwnSize) {
    const auto [name, x, y] = GetParam();
    SDL_Texture* t = picture();
    oskasdl::renderCopy(renderer, t, x, y);
    for (int j = -1; j <= pictureH; ++j)
        for (int i = -1; i <= pictureW; ++i) {
            const int px = x + i;
            const int py = y + j;
            if (px < 0 || py < 0 || px >= 800 || py >= 600) continue;
            const bool inside = i >= 0 && j >= 0 && i < pictureW && j < pictureH;
            EXPECT_EQ(at(px, py), inside ? pictureAt(i, j) : background) << px << "," << py;
        }
    SDL_DestroyTexture(t);
}

INSTANTIATE_TEST_SUITE_P(Positions, RenderCopy,
                         ::testing::Values(CopyCase{"Inside", 100, 50}, CopyCase{"Corner", 0, 0},
                                           CopyCase{"NegativeXY", -3, -2},
                                           CopyCase{"MostlyLeftOfCanvas", -7, 300},
                                           CopyCase{"PastBottomRight", 795, 597}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Canvas, RenderCopyOfPartIsUnscaled) {
    SDL_Texture* t = picture();
    oskasdl::renderCopy(renderer, t, SDL_Rect{2, 1, 3, 2}, 400, 300);
    for (int j = -1; j <= 2; ++j)
        for (int i = -1; i <= 3; ++i) {
            const bool inside = i >= 0 && j >= 0 && i < 3 && j < 2;
            EXPECT_EQ(at(400 + i, 300 + j), inside ? pictureAt(2 + i, 1 + j) : background)
                << i << "," << j;
        }
    SDL_DestroyTexture(t);
}

TEST(LoadBMP, MissingFileRaisesFixedMessage) {
    try {
        oskasdl::loadBMP("no/such/picture.bmp");
        FAIL() << "no exception";
    } catch (const oskasdl::SDLException& e) {
        EXPECT_STREQ(e.what(), "Failed to load Bitmap");
    }
}

TEST(LoadBMP, ReadsAWrittenPicture) {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("oskasdl-test-" + std::to_string(getpid()) + ".bmp"))
                                 .string();
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 13, 7, 24, SDL_PIXELFORMAT_BGR24);
    ASSERT_NE(s, nullptr);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 9, 99, 199));
    ASSERT_EQ(SDL_SaveBMP(s, file.c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(s);

    SDL_Surface* loaded = oskasdl::loadBMP(file);
    std::remove(file.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->w, 13);
    EXPECT_EQ(loaded->h, 7);
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    ASSERT_NE(argb, nullptr);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(static_cast<const Uint32*>(argb->pixels)[12], argb->format, &r, &g, &b);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(g, 99);
    EXPECT_EQ(b, 199);
    SDL_FreeSurface(argb);
    SDL_FreeSurface(loaded);
}

struct AbsoluteCase {
    const char* name;
    SDL_Rect origin, relative, expected;
};

class Absolute : public ::testing::TestWithParam<AbsoluteCase> {};

TEST_P(Absolute, MovesByOriginCornerOnly) {
    const auto& c = GetParam();
    const SDL_Rect got = oskasdl::absolute(c.origin, c.relative);
    EXPECT_TRUE(got == c.expected) << got.x << "," << got.y << "," << got.w << "," << got.h;
    EXPECT_EQ(oskasdl::width(got), c.expected.w);
    EXPECT_EQ(oskasdl::height(got), c.expected.h);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, Absolute,
    ::testing::Values(
        AbsoluteCase{"FarOrigin", {-100, -50, 10000, 10000}, {120, 60, 20, 35}, {20, 10, 20, 35}},
        AbsoluteCase{"ZeroOrigin", {0, 0, 0, 0}, {-5, 7, 1, 2}, {-5, 7, 1, 2}},
        AbsoluteCase{"EmptyRelative", {30, 40, 1, 1}, {0, 0, 0, 0}, {30, 40, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
