// One simulation step, the plain scan of every thing against every player and block beside the
// grid that step() uses, on a typical match and on a stress world of 50,000 live things.
#include <benchmark/benchmark.h>

#include "bench_worlds.h"
#include "brallo/game/broadphase.h"

namespace {

using brallo::game::World;

void stepWith(World& w, void (*resolve)(World&)) {
    brallo::game::movePlayers(w);
    brallo::game::resolvePlayers(w);
    resolve(w);
    brallo::game::increment(w);
}

// Steps from the same scene again and again: every 32 steps the world is put back (not timed),
// so projectiles spent on blocks and players do not thin the scene out.
void runSteps(benchmark::State& state, const brallo::bench::WorldShape& shape,
              void (*resolve)(World&)) {
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
        stepWith(w, resolve);
        benchmark::ClobberMemory();
    }
    state.counters["liveThings"] = brallo::bench::liveThings(w);
}

void typicalReference(benchmark::State& s) {
    runSteps(s, brallo::bench::typicalMatch, brallo::game::resolveThingsReference);
}
void typicalStep(benchmark::State& s) {
    runSteps(s, brallo::bench::typicalMatch, brallo::game::resolveThings);
}
void stressReference(benchmark::State& s) {
    runSteps(s, brallo::bench::stressWorld, brallo::game::resolveThingsReference);
}
void stressStep(benchmark::State& s) {
    runSteps(s, brallo::bench::stressWorld, brallo::game::resolveThings);
}

}  // namespace

BENCHMARK(typicalReference)->Name("step/typical/reference")->Unit(benchmark::kMicrosecond);
BENCHMARK(typicalStep)->Name("step/typical/grid")->Unit(benchmark::kMicrosecond);
BENCHMARK(stressReference)->Name("step/stress/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(stressStep)->Name("step/stress/grid")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
