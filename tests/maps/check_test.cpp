// The map check over small maps made to pass or to fail in one way each.
#include "check.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace brallo::mapgen {
namespace {

// A closed room: walls, a floor at y 400 under the spawn, a plank 60 pixels up.
constexpr std::string_view room =
    "b:0|0|20|500\r\n"
    "b:580|0|20|500\r\n"
    "b:0|400|600|40\r\n"
    "p:250|340|100|10\r\n";

struct Case {
    const char* name;
    std::string map;
    const char* problem;  // a text one of the problems must contain; nullptr: the map passes
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class CheckMap : public testing::TestWithParam<Case> {};

TEST_P(CheckMap, FindsTheFaultOrPasses) {
    const Case& c = GetParam();
    const CheckResult r = checkMap(c.map);
    if (c.problem == nullptr) {
        EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems.front());
        EXPECT_EQ(r.spotsReached, r.spots);
        return;
    }
    ASSERT_FALSE(r.ok());
    bool found = false;
    std::string all;
    for (const std::string& p : r.problems) {
        found = found || p.find(c.problem) != std::string::npos;
        all += p + "\n";
    }
    EXPECT_TRUE(found) << "expected \"" << c.problem << "\" among:\n" << all;
}

INSTANTIATE_TEST_SUITE_P(
    Maps, CheckMap,
    testing::Values(
        Case{"SpotsOnFloorAndPlank", std::string(room) + "s:500|385|0|0\r\ng:300|325|0|0\r\n",
             nullptr},
        Case{"SpotAboveTheWindowOfEveryJump", std::string(room) + "g:300|200|0|0\r\n",
             "gold spot at (300, 200) cannot be reached"},
        Case{"SpotBehindAWall", std::string(room) + "b:450|0|20|400\r\ns:520|385|0|0\r\n",
             "silver spot at (520, 385) cannot be reached"},
        Case{"NoGroundUnderTheSpawn", "b:400|400|100|40\r\n", "does not land within 100 ticks"},
        Case{"GroundTooFarDown", "b:0|900|600|40\r\n", "does not land within 100 ticks"},
        Case{"NoWalls", "b:0|400|600|40\r\n", "fall out of the world"},
        Case{"UnknownLetter", std::string(room) + "x:1|2|3|4\r\n", "Map error"},
        Case{"LineEndWithoutCR", "b:0|400|600|40\n", "does not load"},
        Case{"BlockLeftOfTheOrigin", std::string(room) + "b:-30|0|10|10\r\n",
             "starts left of or above the foreground picture"},
        Case{"SpotAboveTheOrigin", std::string(room) + "s:300|3|0|0\r\n",
             "reaches left of or above the foreground picture"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(CheckMapResult, ReportsLandingTickAndExploredPlaces) {
    const CheckResult r = checkMap(std::string(room) + "s:500|385|0|0\r\n");
    ASSERT_TRUE(r.ok());
    // A floor at 400 under the spawn: the player lands on tick 45.
    EXPECT_EQ(r.landedAfter, 45);
    EXPECT_EQ(r.spots, 1);
    EXPECT_TRUE(r.searchComplete);
    EXPECT_GT(r.statesExplored, 10);
}

TEST(CheckMapResult, SearchBoundIsKept) {
    CheckOptions small;
    small.maxStates = 3;
    const CheckResult r = checkMap(std::string(room) + "g:300|325|0|0\r\n", small);
    EXPECT_LE(r.statesExplored, 3);
    EXPECT_FALSE(r.searchComplete);
}

}  // namespace
}  // namespace brallo::mapgen
