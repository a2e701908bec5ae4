#include "brallo/main/camera.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace brallo {
namespace {

using game::Vec;

constexpr int32_t minInt = std::numeric_limits<int32_t>::min();
constexpr int32_t maxInt = std::numeric_limits<int32_t>::max();

struct CamCase {
    const char* name;
    Vec<int32_t> cam;
    Vec<int32_t> pos;
    bool crouching;
    Vec<int32_t> expected;
};
std::ostream& operator<<(std::ostream& os, const CamCase& c) {
    return os << c.name;
}

class AdjustCam : public ::testing::TestWithParam<CamCase> {};

TEST_P(AdjustCam, MovesOnlyAsFarAsTheZoneNeeds) {
    const CamCase& c = GetParam();
    game::Player p;
    p.pos = c.pos;
    p.crouching = c.crouching;
    Vec<int32_t> cam = c.cam;
    adjustCam(cam, p);
    EXPECT_EQ(cam.x, c.expected.x);
    EXPECT_EQ(cam.y, c.expected.y);
    // The result is a fixed point: a player standing still keeps the camera where it is.
    adjustCam(cam, p);
    EXPECT_EQ(cam.x, c.expected.x);
    EXPECT_EQ(cam.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdjustCam,
    ::testing::Values(
        CamCase{"firstPassJumpsToPlayer", {0, 0}, {1000, 500}, false, {460, 167}},
        CamCase{"insideZoneStays", {460, 167}, {1000, 500}, false, {460, 167}},
        CamCase{"crouchingDoesNotMoveIt", {0, 0}, {1000, 500}, true, {460, 167}},
        CamCase{"upperLeftCornerOfZone", {0, 0}, {240, 233}, false, {0, 0}},
        CamCase{"lowerRightCornerOfZone", {0, 0}, {540, 333}, false, {0, 0}},
        CamCase{"onePixelPastLowerRight", {0, 0}, {541, 334}, false, {1, 1}},
        CamCase{"onePixelPastUpperLeft", {0, 0}, {239, 232}, false, {-1, -1}},
        CamCase{"playerAtOrigin", {0, 0}, {0, 0}, false, {-240, -233}},
        CamCase{"followsLeftAndUp", {5000, 5000}, {1000, 500}, false, {760, 267}},
        // At the ends of the int range the camera saturates instead of overflowing.
        CamCase{"farLowEnd", {maxInt, maxInt}, {minInt, minInt}, false, {minInt, minInt}},
        CamCase{"farHighEnd", {0, 0}, {maxInt, maxInt}, false, {maxInt - 540, maxInt - 333}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brallo
