// One simulation step: the plain scans of every player and thing against every block beside
// step() itself, which goes through the block grid, on a typical match and on a stress world of
// 50,000 live things.
#include <benchmark/benchmark.h>

#include "bench_worlds.h"
#include "brallo/game/broadphase.h"
#include "brallo/game/movement.h"

namespace {

using brallo::game::World;

// The step with the plain scans of every player and thing against every block.
void plainStep(World& w) {
    brallo::game::movePlayers(w);
    brallo::game::resolvePlayersReference(w);
    brallo::game::resolveThingsReference(w);
    brallo::game::increment(w);
}

// Steps from the same scene again and again: every 32 steps the world is put back (not timed),
// so projectiles spent on blocks and players do not thin the scene out.
void runSteps(benchmark::State& state, const brallo::bench::WorldShape& shape,
              void (*stepOnce)(World&)) {
    const World scene = brallo::bench::makeWorld(shape);
    World w = scene;
    int sinceReset = 0;
    for (auto _ : state) {
        if (++sinceReset == 32) {
            state.PauseTiming();
            w.things = scene.things;
            w.players = scene.players;
            w.rnd = scene.rnd;
            sinceReset = 0;
            state.ResumeTiming();
        }
        stepOnce(w);
        benchmark::ClobberMemory();
    }
    state.counters["liveThings"] = brallo::bench::liveThings(w);
}

void typicalReference(benchmark::State& s) {
    runSteps(s, brallo::bench::typicalMatch, plainStep);
}
void typicalStep(benchmark::State& s) {
    runSteps(s, brallo::bench::typicalMatch, brallo::game::step);
}
void stressReference(benchmark::State& s) {
    runSteps(s, brallo::bench::stressWorld, plainStep);
}
void stressStep(benchmark::State& s) {
    runSteps(s, brallo::bench::stressWorld, brallo::game::step);
}

}  // namespace

BENCHMARK(typicalReference)->Name("step/typical/reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(typicalStep)->Name("step/typical/grid")->Unit(benchmark::kMicrosecond);
BENCHMARK(stressReference)->Name("step/stress/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(stressStep)->Name("step/stress/grid")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
