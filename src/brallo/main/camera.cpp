#include "brallo/main/camera.h"

#include <algorithm>
#include <limits>

namespace brallo {

namespace {

// Work in 64 bits so that players at the far ends of the int range cannot overflow; the camera
// then saturates at the range's end instead of wrapping to the other side of the world.
int32_t follow(int32_t cam, int64_t centre, int64_t low, int64_t high) {
    int64_t c = std::min<int64_t>(cam, centre - low);
    c = std::max<int64_t>(c, centre - high);
    c = std::clamp<int64_t>(c, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(c);
}

}  // namespace

void adjustCam(game::Vec<int32_t>& cam, const game::Player& own) {
    // The middle of the standing box of 20 by 35; crouching does not move the camera.
    const int64_t cx = int64_t{own.pos.x} + 10;
    const int64_t cy = int64_t{own.pos.y} + 17;
    cam.x = follow(cam.x, cx, 250, 550);
    cam.y = follow(cam.y, cy, 250, 350);
}

}  // namespace brallo
