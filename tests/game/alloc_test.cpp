// The simulation step allocates nothing once the things table has room: counted by replacing
// the global allocation functions of this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"
#include "helpers.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// GCC pairs the std::free below with the operator new it inlines and warns of a mismatch; the
// replacements are a matched pair, which is exactly what the standard allows.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace brallo::game {
namespace {

TEST(Allocation, StepAllocatesNothingWhileThingsHaveRoom) {
    World w = testing_support::worldWith(4);
    w.blocks.push_back(testing_support::floorBlock);
    w.silverList = {&miniBall, &fireBall};
    addThing(w.things, weaponSpot(w, {200, 390}, false));
    w.things.reserve(4096);
    const char* commands[] = {"jrs", "cls", "_rs", "j_s"};
    allocations = 0;
    counting = true;
    for (int tick = 0; tick < 2000; ++tick) {
        step(w);
        handleMessage(w, commands[(tick / 50) % 4], tick % 4);
    }
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(w.things.size(), 10u) << "shots were fired";
}

}  // namespace
}  // namespace brallo::game
