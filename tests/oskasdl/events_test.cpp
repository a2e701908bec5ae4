// The generic event loop: events reach the loop object's matching handler, others are dropped.
#include "oskasdl/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the handlers saw, kept outside the loop object because eventLoop takes it by value.
struct Seen {
    std::vector<std::string> events;
    int passes = 0;
};

// Handles only the quit event, like the client's main loop; stops after `passesWanted` passes.
struct QuitOnly {
    Seen* seen;
    int passesWanted = 1;
    bool keepLooping = true;
    void looping() {
        ++seen->passes;
        if (seen->passes >= passesWanted) keepLooping = false;
    }
    void on(const SDL_QuitEvent&) { seen->events.push_back("quit"); }
};

struct Everything {
    Seen* seen;
    bool keepLooping = true;
    void looping() {
        ++seen->passes;
        keepLooping = false;
    }
    void on(const SDL_QuitEvent&) { seen->events.push_back("quit"); }
    void on(const SDL_KeyboardEvent& e) {
        seen->events.push_back((e.state == SDL_PRESSED ? "key down " : "key up ") +
                               std::to_string(e.keysym.sym));
    }
    void on(const SDL_MouseButtonEvent& e) {
        seen->events.push_back("button " + std::to_string(e.button));
    }
    void on(const SDL_WindowEvent& e) {
        seen->events.push_back("window " + std::to_string(e.event));
    }
};

// No handlers at all: every event is dropped.
struct Deaf {
    int* passes;
    bool keepLooping = true;
    void looping() {
        ++*passes;
        keepLooping = false;
    }
};

class Events : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { SDL_Quit(); }

    static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    static void pushQuit() {
        SDL_Event e{};
        e.type = SDL_QUIT;
        push(e);
    }
    static void pushKey(Uint32 type, SDL_Keycode sym) {
        SDL_Event e{};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        push(e);
    }
    static void pushButton(Uint8 button) {
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = button;
        push(e);
    }
    static void pushWindow(Uint8 event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = event;
        push(e);
    }
    static void pushUser() {
        SDL_Event e{};
        e.type = SDL_USEREVENT;
        push(e);
    }
    static bool queueEmpty() {
        return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0;
    }
};

TEST_F(Events, QuitReachesHandlerAndOtherEventsAreDropped) {
    pushKey(SDL_KEYDOWN, SDLK_LEFT);
    pushQuit();
    pushWindow(SDL_WINDOWEVENT_EXPOSED);
    pushButton(SDL_BUTTON_LEFT);
    pushUser();
    Seen seen;
    oskasdl::eventLoop(QuitOnly{&seen});
    EXPECT_EQ(seen.events, std::vector<std::string>{"quit"});
    EXPECT_EQ(seen.passes, 1);
    EXPECT_TRUE(queueEmpty());
}

TEST_F(Events, EachKindReachesItsOwnHandlerInOrder) {
    pushKey(SDL_KEYDOWN, SDLK_SPACE);
    pushUser();
    pushButton(SDL_BUTTON_RIGHT);
    pushWindow(SDL_WINDOWEVENT_FOCUS_LOST);
    pushKey(SDL_KEYUP, SDLK_SPACE);
    pushQuit();
    Seen seen;
    oskasdl::eventLoop(Everything{&seen});
    const std::vector<std::string> expected{"key down " + std::to_string(SDLK_SPACE),
                                            "button " + std::to_string(SDL_BUTTON_RIGHT),
                                            "window " + std::to_string(SDL_WINDOWEVENT_FOCUS_LOST),
                                            "key up " + std::to_string(SDLK_SPACE), "quit"};
    EXPECT_EQ(seen.events, expected);
}

TEST_F(Events, LoopWithoutHandlersDrainsTheQueue) {
    pushQuit();
    pushKey(SDL_KEYDOWN, SDLK_UP);
    int passes = 0;
    oskasdl::eventLoop(Deaf{&passes});
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(queueEmpty());
}

TEST_F(Events, LoopingRunsOncePerPassUntilToldToStop) {
    Seen seen;
    oskasdl::eventLoop(QuitOnly{&seen, 3});
    EXPECT_EQ(seen.passes, 3);
    EXPECT_TRUE(seen.events.empty());
}

TEST_F(Events, PumpEventsTellsWhetherAnythingWasTaken) {
    Seen seen;
    QuitOnly loop{&seen};
    EXPECT_FALSE(oskasdl::pumpEvents(loop));
    pushUser();
    EXPECT_TRUE(oskasdl::pumpEvents(loop));
    EXPECT_TRUE(seen.events.empty());
    pushQuit();
    pushQuit();
    EXPECT_TRUE(oskasdl::pumpEvents(loop));
    EXPECT_EQ(seen.events, (std::vector<std::string>{"quit", "quit"}));
    EXPECT_EQ(seen.passes, 0);
    EXPECT_TRUE(queueEmpty());
}

}  // namespace
