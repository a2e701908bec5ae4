// One drawing pass of the client (clear, camera, world, HUD) into a software renderer over an
// 800 by 600 surface, for a stress world of 10,000 things of which only a few are in view.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>

#include "bench_worlds.h"
#include "brallo/main/camera.h"
#include "brallo/main/draw.h"

namespace {

// A picture like the maps' own: opaque stripes with transparent gaps, so copies blend.
SDL_Texture* picture(SDL_Renderer* renderer, int w, int h, uint32_t seed) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s == nullptr) throw std::runtime_error(SDL_GetError());
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < w; ++x) {
            const bool solid = ((x / 37 + y / 23 + static_cast<int>(seed)) % 3) != 0;
            row[x] = (solid ? 0xFF000000u : 0u) | ((seed * 2654435761u + x * 97u + y) & 0xFFFFFF);
        }
    }
    SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, s);
    SDL_FreeSurface(s);
    if (t == nullptr) throw std::runtime_error(SDL_GetError());
    return t;
}

void drawPass(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    if (renderer == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    brallo::Textures textures;
    textures.parallax5 = picture(renderer, 1200, 900, 5);
    textures.parallax2 = picture(renderer, 2000, 1200, 2);
    textures.foreground = picture(renderer, 4000, 2400, 1);
    textures.lookLeft = picture(renderer, 20, 10, 7);
    textures.lookRight = picture(renderer, 20, 10, 8);
    textures.win = picture(renderer, 400, 300, 9);
    textures.lose = picture(renderer, 400, 300, 10);

    brallo::bench::WorldShape shape = brallo::bench::stressWorld;
    shape.things = static_cast<int32_t>(state.range(0));
    const brallo::game::World world = brallo::bench::makeWorld(shape);
    // The own player near the middle of the level picture, so every layer covers the window.
    brallo::game::World w = world;
    w.players[0].pos = {2000, 1200};
    brallo::game::Vec<int32_t> cam{1600, 900};

    uint32_t nowMs = 0;
    for (auto _ : state) {
        SDL_SetRenderDrawColor(renderer, 40, 60, 90, 255);
        SDL_RenderClear(renderer);
        brallo::adjustCam(cam, w.players[0]);
        brallo::draw(renderer, cam, w, textures, nowMs += 16);
        SDL_RenderFlush(renderer);
    }
    state.counters["things"] = static_cast<double>(brallo::bench::liveThings(w));
    int inView = 0;
    for (const brallo::game::ThingContainer& tc : w.things) {
        const brallo::game::Rect r = tc.t.rect();
        inView += tc.used && r.x + r.w > cam.x && r.x < cam.x + 800 && r.y + r.h > cam.y &&
                  r.y < cam.y + 600;
    }
    state.counters["inView"] = inView;

    for (SDL_Texture* t : {textures.parallax5, textures.parallax2, textures.foreground,
                           textures.lookLeft, textures.lookRight, textures.win, textures.lose})
        SDL_DestroyTexture(t);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
}

}  // namespace

BENCHMARK(drawPass)->Name("frame/stress")->Arg(10'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
