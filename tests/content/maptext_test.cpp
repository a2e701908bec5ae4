// The map text: the strict record syntax, the record letters and their effect on a world, and
// reading the file.
#include "brallo/main/maptext.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace game = brallo::game;
using brallo::MapError;
using brallo::MapRecord;

std::vector<MapRecord> records(std::string_view bytes) {
    std::vector<MapRecord> out;
    brallo::readMapText(bytes, [&](const MapRecord& r) { out.push_back(r); });
    return out;
}

// The message of the MapError that `bytes` raises, or "" when none.
std::string readError(std::string_view bytes) {
    try {
        records(bytes);
    } catch (const MapError& e) {
        return e.what();
    }
    return "";
}

struct Applied {
    game::World world;
    game::Color bg{1, 2, 3};
};

void apply(std::string_view bytes, Applied& a) {
    brallo::applyMapText(bytes, a.world, a.bg);
}

constexpr std::string_view example =
    "c:40|60|90|0\r\n"
    "b:0|560|900|40\r\n"
    "p:300|420|200|10\r\n"
    "s:350|380|0|0\r\n"
    "g:700|500|0|0\r\n";

TEST(MapText, ExampleRecordsInFileOrder) {
    EXPECT_EQ(records(example), (std::vector<MapRecord>{{"c", 40, 60, 90, 0},
                                                        {"b", 0, 560, 900, 40},
                                                        {"p", 300, 420, 200, 10},
                                                        {"s", 350, 380, 0, 0},
                                                        {"g", 700, 500, 0, 0}}));
}

TEST(MapText, ExampleAppliedToAWorld) {
    Applied a;
    apply(example, a);
    EXPECT_EQ(a.bg, (game::Color{40, 60, 90}));
    ASSERT_EQ(a.world.blocks.size(), 2u);
    EXPECT_EQ(a.world.blocks[0].pos, (game::Vec<int32_t>{0, 560}));
    EXPECT_EQ(a.world.blocks[0].size, (game::Vec<int32_t>{900, 40}));
    EXPECT_FALSE(a.world.blocks[0].platform);
    EXPECT_EQ(a.world.blocks[1].pos, (game::Vec<int32_t>{300, 420}));
    EXPECT_TRUE(a.world.blocks[1].platform);

    // The same spots made directly, in the same order, give the same world.
    Applied direct;
    direct.world.blocks = a.world.blocks;
    game::addThing(direct.world.things, game::weaponSpot(direct.world, {350, 380}, false));
    game::addThing(direct.world.things, game::weaponSpot(direct.world, {700, 500}, true));
    EXPECT_EQ(game::digest(a.world), game::digest(direct.world));
}

TEST(MapText, EmptyFileLoadsNothing) {
    Applied a;
    apply("", a);
    EXPECT_TRUE(a.world.blocks.empty());
    EXPECT_TRUE(a.world.things.empty());
    EXPECT_EQ(a.bg, (game::Color{1, 2, 3}));
}

TEST(MapText, ColourTakesTheLowBytes) {
    Applied a;
    apply("c:300|-1|65|7\r\n", a);
    EXPECT_EQ(a.bg, (game::Color{44, 255, 65}));
    apply("c:1|2|3|4\r\nc:-256|256|511|0\r\n", a);  // the last one wins
    EXPECT_EQ(a.bg, (game::Color{0, 0, 255}));
}

TEST(MapText, EmptyLetterIsReadAndIgnored) {
    EXPECT_EQ(records(":1|2|3|4\r\nb:5|6|7|8\r\n"), (std::vector<MapRecord>{{"b", 5, 6, 7, 8}}));
    Applied a;
    apply(":1|2|3|4\r\nb:5|6|7|8\r\n", a);
    EXPECT_EQ(a.world.blocks.size(), 1u);
}

TEST(MapText, SpotSizeIsIgnored) {
    Applied small, big;
    apply("s:10|20|0|0\r\n", small);
    apply("s:10|20|999|999\r\n", big);
    EXPECT_EQ(game::digest(small.world), game::digest(big.world));
    ASSERT_EQ(small.world.things.size(), 1u);
    EXPECT_TRUE(small.world.things[0].used);
}

TEST(MapText, SameRectangleTwiceGivesTwoBlocks) {
    Applied a;
    apply("b:1|2|3|4\r\nb:1|2|3|4\r\np:9|9|9|9\r\n", a);
    ASSERT_EQ(a.world.blocks.size(), 3u);
    EXPECT_TRUE(a.world.blocks[2].platform);
}

TEST(MapText, UnknownLetterIsMapError) {
    for (std::string_view bytes : {"x:1|2|3|4\r\n", "b :1|2|3|4\r\n", "B:1|2|3|4\r\n",
                                   "bb:1|2|3|4\r\n", "b:0|0|1|1\r\n\xC3\xA9:1|2|3|4\r\n"}) {
        Applied a;
        try {
            apply(bytes, a);
            ADD_FAILURE() << "no error for " << bytes;
        } catch (const MapError& e) {
            EXPECT_STREQ(e.what(), "Map error");
        }
    }
}

TEST(MapText, NumbersTakeAnOptionalSign) {
    EXPECT_EQ(records("b:+5|-0|-2147483648|2147483647\r\n"),
              (std::vector<MapRecord>{{"b", 5, 0, -2147483647 - 1, 2147483647}}));
}

struct SyntaxCase {
    std::string_view bytes;
    int line;
    std::string_view mentions;  // a part of the message saying what was expected
};

class Syntax : public testing::TestWithParam<SyntaxCase> {};

TEST_P(Syntax, ErrorNamesLineAndExpectation) {
    const std::string message = readError(GetParam().bytes);
    ASSERT_FALSE(message.empty()) << "no error";
    EXPECT_NE(message.find("line " + std::to_string(GetParam().line) + ":"), std::string::npos)
        << message;
    EXPECT_NE(message.find(GetParam().mentions), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Records, Syntax,
    testing::Values(
        SyntaxCase{"b:1|2|3|4\r\nb:1|2|3|4", 2, "CR LF"},          // last line end missing
        SyntaxCase{"b:1|2|3|4\nb:1|2|3|4\n", 1, "CR LF"},          // LF only
        SyntaxCase{"b:1|2|3|4\r", 1, "CR LF"},                     // cut inside the line end
        SyntaxCase{"b:1|2|3|4\r\n\r\nb:1|2|3|4\r\n", 2, "\":\""},  // blank line between
        SyntaxCase{"b:1|2|3|4\r\n\r\n", 2, "\":\""},               // blank line at the end
        SyntaxCase{"b1|2|3|4\r\nb:1|2|3|4\r\n", 1, "\":\""},       // no ":"
        SyntaxCase{"s:1|2\r\n", 1, "\"|\" after y"},               // two numbers only
        SyntaxCase{"b:1|2|3\r\n", 1, "\"|\" after width"},
        SyntaxCase{"b:1|2|3|\r\n", 1, "digit in height"},
        SyntaxCase{"b:|2|3|4\r\n", 1, "digit in x"}, SyntaxCase{"b: 1|2|3|4\r\n", 1, "digit in x"},
        SyntaxCase{"b:1 |2|3|4\r\n", 1, "\"|\" after x"},
        SyntaxCase{"b:1|2x|3|4\r\n", 1, "\"|\" after y"}, SyntaxCase{"b:1|2|3|4 \r\n", 1, "CR LF"},
        SyntaxCase{"b:1|+-2|3|4\r\n", 1, "digit in y"},
        SyntaxCase{"b:1|2|-|4\r\n", 1, "digit in width"},
        SyntaxCase{"b:1|2|3|4\r\nb:1|2|3|2147483648\r\n", 2, "height is outside"},
        SyntaxCase{"b:-2147483649|2|3|4\r\n", 1, "x is outside"},
        SyntaxCase{"b:99999999999999999999999|2|3|4\r\n", 1, "x is outside"},
        SyntaxCase{"b:1|2|3|4\r\nc:0|0|0|0\r\nb:1;2|3|4\r\n", 3, "\"|\" after x"},
        SyntaxCase{"b:1|2|3|4\r\nb:1|2", 2, "end of the file"}, SyntaxCase{"b", 1, "\":\""}));

TEST(MapText, RecordsBeforeAnErrorHaveTakenEffect) {
    Applied a;
    EXPECT_THROW(apply("b:1|2|3|4\r\np:5|6|7|8", a), MapError);
    EXPECT_EQ(a.world.blocks.size(), 1u);
}

class MapFile : public testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(path); }
    // One file per test, so tests running in parallel processes do not meet.
    std::string path = (std::filesystem::temp_directory_path() /
                        (std::string("brallo-maptext-") +
                         testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt"))
                           .string();
};

TEST_F(MapFile, BytesAreReadUnchanged) {
    const std::string bytes = std::string(example) + std::string("\0\xFF", 2);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    EXPECT_EQ(brallo::readFileBytes(path), bytes);
}

TEST_F(MapFile, MissingFileIsNamed) {
    try {
        brallo::readFileBytes(path + ".missing");
        FAIL() << "no error";
    } catch (const MapError& e) {
        EXPECT_NE(std::string(e.what()).find(path + ".missing"), std::string::npos) << e.what();
    }
}

TEST_F(MapFile, DirectoryIsNotAnEmptyMap) {
    const std::string dir = std::filesystem::temp_directory_path().string();
    EXPECT_THROW(brallo::readFileBytes(dir), MapError);
}

}  // namespace
