// Loading a map: which picture becomes which texture, the opacity byte, the map text applied
// after all pictures, and the errors.
#include "brallo/main/mapload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "data_folder.h"
#include "oskasdl/system.h"
#include "oskasdl/video.h"

namespace brallo {
namespace {

namespace fs = std::filesystem;

/// Loads in a scratch working folder with a software renderer; no window is needed.
class MapLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(data_.path());
        surface_ = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_ARGB8888);
        display_ = SDL_CreateSoftwareRenderer(surface_);
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        SDL_DestroyRenderer(display_);
        SDL_FreeSurface(surface_);
        fs::current_path(previous_);
    }
    uint32_t pixel(int x, int y) const {
        return static_cast<const uint32_t*>(surface_->pixels)[y * surface_->pitch / 4 + x];
    }

    testing::DataFolder data_;
    fs::path previous_;
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* display_ = nullptr;
    Textures textures_;
    game::World world_;
    game::Color bg_;
};

TEST_F(MapLoadTest, EachPictureBecomesItsTextureAndTheTextFillsTheWorld) {
    // Sizes that tell the seven pictures apart.
    const std::pair<const char*, int> pictures[] = {{"maps/arena.fg.bmp", 11},
                                                    {"maps/arena.p2.bmp", 12},
                                                    {"maps/arena.p5.bmp", 13},
                                                    {"l.bmp", 14},
                                                    {"r.bmp", 15},
                                                    {"winner.bmp", 16},
                                                    {"loser.bmp", 17}};
    for (auto [name, width] : pictures) testing::writeBmp(name, width, 3, 0xFF000000);
    std::ofstream("maps/arena.txt", std::ios::binary)
        << "c:300|-1|65|7\r\nb:0|400|800|20\r\np:10|20|30|5\r\ng:50|60|0|0\r\ns:70|80|9|9\r\n";

    load(display_, "arena", textures_, world_, bg_);

    SDL_Texture* loaded[] = {textures_.foreground, textures_.parallax2, textures_.parallax5,
                             textures_.lookLeft,   textures_.lookRight, textures_.win,
                             textures_.lose};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(oskasdl::width(loaded[i]), pictures[i].second) << i;
    EXPECT_EQ(bg_, (game::Color{44, 255, 65}));
    ASSERT_EQ(world_.blocks.size(), 2u);
    EXPECT_FALSE(world_.blocks[0].platform);
    EXPECT_TRUE(world_.blocks[1].platform);
    ASSERT_EQ(world_.things.size(), 2u);
    EXPECT_EQ(world_.things[0].t.pos, (game::Vec<int32_t>{50, 60}));
    EXPECT_EQ(world_.things[1].t.pos, (game::Vec<int32_t>{70, 80}));
}

TEST_F(MapLoadTest, TheFourthByteOfEveryPixelIsItsOpacity) {
    // Half transparent, half opaque white over a red window.
    testing::writeBmp("half.bmp", 2, 1, 0x00FFFFFF);
    std::fstream patch("half.bmp", std::ios::in | std::ios::out | std::ios::binary);
    patch.seekp(54 + 7);  // the second pixel's alpha byte (rows bottom-up, one row)
    patch.put(static_cast<char>(0xFF));
    patch.close();

    SDL_Texture* texture = loadImg(display_, "half.bmp");
    oskasdl::fillRect(oskasdl::setColor(display_, {255, 0, 0}), SDL_Rect{0, 0, 800, 600});
    oskasdl::renderCopy(display_, texture, 0, 0);
    EXPECT_EQ(pixel(0, 0) & 0xFFFFFF, 0xFF0000u);  // see-through: the red shows
    EXPECT_EQ(pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);  // opaque white
}

TEST_F(MapLoadTest, PicturesComeBeforeTheMapText) {
    // With the map text missing too, the missing picture is what stops the load.
    fs::remove("maps/map1.p5.bmp");
    fs::remove("maps/map1.txt");
    try {
        load(display_, "map1", textures_, world_, bg_);
        FAIL();
    } catch (const oskasdl::SDLException& e) {
        EXPECT_STREQ(e.what(), "Failed to load Bitmap");
    }
    EXPECT_NE(textures_.parallax2, nullptr);  // the pictures before it were loaded
    EXPECT_EQ(textures_.parallax5, nullptr);
}

TEST_F(MapLoadTest, AMissingMapTextIsNamed) {
    fs::remove("maps/map1.txt");
    try {
        load(display_, "map1", textures_, world_, bg_);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("maps/map1.txt"), std::string::npos) << e.what();
    }
    EXPECT_NE(textures_.lose, nullptr);  // every picture came first
}

TEST_F(MapLoadTest, AnUnknownRecordIsAMapError) {
    std::ofstream("maps/map1.txt", std::ios::binary) << "b:0|400|800|20\r\nx:1|2|3|4\r\n";
    try {
        load(display_, "map1", textures_, world_, bg_);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Map error");
    }
    EXPECT_EQ(world_.blocks.size(), 1u);  // what came before the error stays
}

}  // namespace
}  // namespace brallo
