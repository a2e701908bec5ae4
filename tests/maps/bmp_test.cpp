// The BMP writer: the header fields the game's loader relies on, and pixels read back from the
// bytes in the file's bottom-up B, G, R, A order.
#include "bmp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace brallo::mapgen {
namespace {

uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}

// The pixel at (x, y), counted from the top as in the Canvas, read from the file's bytes.
Pixel pixelInFile(const std::string& b, int32_t x, int32_t y) {
    const uint32_t offset = le32(b, 10);
    const auto width = static_cast<int32_t>(le32(b, 18));
    const auto height = static_cast<int32_t>(le32(b, 22));
    const size_t at = offset + static_cast<size_t>(((height - 1 - y) * width + x) * 4);
    return Pixel{static_cast<uint8_t>(b[at + 2]), static_cast<uint8_t>(b[at + 1]),
                 static_cast<uint8_t>(b[at]), static_cast<uint8_t>(b[at + 3])};
}

TEST(Bmp, HeaderDescribesUncompressed32BitBottomUpPicture) {
    const Canvas c(5, 3);
    const std::string b = encodeBmp(c);
    ASSERT_EQ(b.size(), 14u + 40u + 5u * 3u * 4u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(le32(b, 2), b.size());
    EXPECT_EQ(le32(b, 10), 54u);  // pixels follow the two headers
    EXPECT_EQ(le32(b, 14), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(le32(b, 18), 5u);
    EXPECT_EQ(static_cast<int32_t>(le32(b, 22)), 3);  // positive: bottom-up
    EXPECT_EQ(le16(b, 26), 1u);
    EXPECT_EQ(le16(b, 28), 32u);
    EXPECT_EQ(le32(b, 30), 0u);  // BI_RGB
    EXPECT_EQ(le32(b, 34), 5u * 3u * 4u);
}

TEST(Bmp, PixelsRoundTripWithTheirOpacity) {
    Canvas c(4, 3);
    const struct {
        int32_t x, y;
        Pixel p;
    } cases[] = {
        {0, 0, Pixel{1, 2, 3, 4}},          // top-left: last row of the file
        {3, 2, Pixel{250, 251, 252, 253}},  // bottom-right: first row of the file
        {2, 1, Pixel{10, 0, 200, 255}},
        {1, 2, Pixel{0, 0, 0, 0}},
    };
    for (const auto& k : cases) c.set(k.x, k.y, k.p);
    const std::string b = encodeBmp(c);
    for (const auto& k : cases) {
        EXPECT_EQ(pixelInFile(b, k.x, k.y), k.p) << "at " << k.x << "," << k.y;
    }
    // The first pixel bytes of the file belong to the bottom-left pixel.
    EXPECT_EQ(pixelInFile(b, 0, 2), c.at(0, 2));
}

TEST(Bmp, WriteFailsWithTheFileName) {
    try {
        writeBmp("/nonexistent-folder/x.bmp", Canvas(1, 1));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/x.bmp"), std::string::npos);
    }
}

}  // namespace
}  // namespace brallo::mapgen
