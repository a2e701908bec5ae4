// sdlEnforce, SDLException and windows of the wrapper's system module.
#include "oskasdl/system.h"

#include <gtest/gtest.h>

namespace {

using oskasdl::sdlEnforce;
using oskasdl::SDLException;

TEST(SdlEnforce, OnlyMinusOneFails) {
    for (int value : {0, -2, 1, 42, -1000}) EXPECT_EQ(sdlEnforce(value), value) << value;
    EXPECT_THROW(sdlEnforce(-1), SDLException);
}

TEST(SdlEnforce, FailureCarriesSdlErrorText) {
    SDL_SetError("renderer went away");
    try {
        sdlEnforce(-1);
        FAIL() << "no exception";
    } catch (const SDLException& e) {
        EXPECT_STREQ(e.what(), "renderer went away");
    }
}

TEST(SDLException, GivenMessageIsKeptUnchanged) {
    SDL_SetError("something else");
    EXPECT_STREQ(SDLException("Initialization failed").what(), "Initialization failed");
    const std::runtime_error& base = SDLException("x");
    EXPECT_STREQ(base.what(), "x");
}

TEST(Window, CenteredWindowGetsTitleAndSize) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window =
        oskasdl::createCenteredWindow("Brallo \xc3\xa4", 800, 600, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Brallo \xc3\xa4");
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(Window, TitleNeedNotBeZeroTerminated) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    const std::string_view title = std::string_view("BralloXYZ").substr(0, 6);
    SDL_Window* window = oskasdl::createWindow(title, 0, 0, 100, 50, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Brallo");
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
