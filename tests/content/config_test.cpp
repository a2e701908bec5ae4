// The match configuration: commands, overriding, weapon lists, printed lines and the errors.
#include "brallo/main/config.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "brallo/game/weapon.h"
#include "tev/base.h"

namespace {

using brallo::game::Weapon;
using brallo::game::WeaponList;
namespace game = brallo::game;

class Config : public testing::Test {
  protected:
    void apply(std::string_view text) { brallo::parseConfig(text, world, mapName, out, in); }

    // The settings a world starts with, for checking that nothing changed.
    void expectUntouched() const {
        EXPECT_EQ(world.gameMode, U'\uFFFF');
        EXPECT_EQ(world.winPoints, 3);
        EXPECT_EQ(world.goldList, WeaponList{&game::purpleBall});
        EXPECT_EQ(world.silverList, WeaponList{&game::fireBall});
        EXPECT_EQ(mapName, "map1");
    }

    game::World world;
    std::string mapName = "map1";
    std::ostringstream out;
    std::istringstream in;
};

TEST_F(Config, ExampleText) {
    apply(
        "mode m\n"
        "map arena\n"
        "winPoints 5\n"
        "goldList {purpleBall fallBall}\n"
        "silverList {fireBall miniBall lightAttack}\n");
    EXPECT_EQ(out.str(), "New gl length: 2\nNew sl length: 3\n");
    EXPECT_EQ(world.gameMode, U'm');
    EXPECT_EQ(mapName, "arena");
    EXPECT_EQ(world.winPoints, 5);
    EXPECT_EQ(world.goldList, (WeaponList{&game::purpleBall, &game::fallBall}));
    EXPECT_EQ(world.silverList, (WeaponList{&game::fireBall, &game::miniBall, &game::lightAttack}));
}

TEST_F(Config, EmptyOrBlankTextChangesNothing) {
    for (std::string_view text : {"", " \t", "\r\n;\n ; \r\n"}) {
        apply(text);
        expectUntouched();
    }
    EXPECT_EQ(out.str(), "");
}

TEST_F(Config, SemicolonsAndLeadingBreaksSeparateCommands) {
    apply(";\r\n\nmode s; winPoints 4;map {two words}\n");
    EXPECT_EQ(world.gameMode, U's');
    EXPECT_EQ(world.winPoints, 4);
    EXPECT_EQ(mapName, "two words");
}

TEST_F(Config, LaterLinesOverride) {
    apply(
        "map a\nmap b\nsilverList {ultraBall fallBall}\nsilverList miniBall\nwinPoints "
        "1\nwinPoints 9");
    EXPECT_EQ(mapName, "b");
    EXPECT_EQ(world.silverList, WeaponList{&game::miniBall});
    EXPECT_EQ(world.winPoints, 9);
    EXPECT_EQ(out.str(), "New sl length: 2\nNew sl length: 1\n");
}

TEST_F(Config, ModeTakesTheFirstCharacter) {
    apply("mode mx");
    EXPECT_EQ(world.gameMode, U'm');
    apply("mode { m}");
    EXPECT_EQ(world.gameMode, U' ');
    apply("mode \u00E9t\u00E9");  // the first character, not its first byte
    EXPECT_EQ(world.gameMode, U'\u00E9');
}

TEST_F(Config, ListsReadAsDocuments) {
    apply("goldList {}");
    EXPECT_TRUE(world.goldList.empty());
    EXPECT_EQ(out.str(), "New gl length: 0\n");

    apply("goldList {fireBall fireBall}");
    EXPECT_EQ(world.goldList, (WeaponList{&game::fireBall, &game::fireBall}));

    // Names across blanks, tabs, line breaks, ";" and a nested bracket.
    apply("goldList {ultraBall\tfireBall;\r\n {miniBall}\n}");
    EXPECT_EQ(world.goldList, (WeaponList{&game::ultraBall, &game::fireBall, &game::miniBall}));

    apply("goldList lightAttack extra elements ignored");
    EXPECT_EQ(world.goldList, WeaponList{&game::lightAttack});
}

TEST_F(Config, CommandWordMayBeABracket) {
    apply("{mode} s");
    EXPECT_EQ(world.gameMode, U's');
}

struct WinPointsCase {
    std::string_view argument;
    int32_t value;
};

class WinPoints : public Config, public testing::WithParamInterface<WinPointsCase> {};

TEST_P(WinPoints, AcceptsSignedDecimals) {
    apply("winPoints " + std::string(GetParam().argument));
    EXPECT_EQ(world.winPoints, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, WinPoints,
                         testing::Values(WinPointsCase{"+7", 7}, WinPointsCase{"-2", -2},
                                         WinPointsCase{"0", 0}, WinPointsCase{"{12}", 12},
                                         WinPointsCase{"2147483647", 2147483647},
                                         WinPointsCase{"-2147483648", -2147483647 - 1},
                                         WinPointsCase{"0007", 7}));

class BadWinPoints : public Config, public testing::WithParamInterface<std::string_view> {};

TEST_P(BadWinPoints, AreRefused) {
    EXPECT_THROW(apply("winPoints " + std::string(GetParam())), brallo::ConfigError);
    EXPECT_EQ(world.winPoints, 3);
}

INSTANTIATE_TEST_SUITE_P(Values, BadWinPoints,
                         testing::Values("5x", "x5", "2147483648", "-2147483649",
                                         "99999999999999999999", "{}", "{ 5}", "{5 }", "+", "-",
                                         "+-5", "++5", "-+5", "0x10", "5.0", "\u0665"));

TEST_F(Config, UnknownCommandPrintsReadsALineAndRefuses) {
    in.str("whatever\nnext line\n");
    try {
        apply("winPoints 8\nMode m\nmap never");
        FAIL() << "no error";
    } catch (const brallo::ConfigRefused& e) {
        EXPECT_NE(std::string(e.what()).find("Mode"), std::string::npos) << e.what();
    }
    EXPECT_EQ(out.str(), "Unknown commmand: Mode\n");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "next line");  // exactly one line was read
    EXPECT_EQ(world.winPoints, 8);
    EXPECT_EQ(mapName, "map1");
}

TEST_F(Config, UnknownCommandWithClosedInputStillRefuses) {
    EXPECT_THROW(apply("goldlist {fireBall}"), brallo::ConfigRefused);
    EXPECT_EQ(out.str(), "Unknown commmand: goldlist\n");
}

struct ErrorCase {
    std::string_view text;
    std::string_view mentions;  // a part of the message
};

class ConfigErrors : public Config, public testing::WithParamInterface<ErrorCase> {};

TEST_P(ConfigErrors, SayWhatIsWrong) {
    try {
        apply(GetParam().text);
        FAIL() << "no error";
    } catch (const brallo::ConfigRefused&) {
        FAIL() << "refused as unknown";
    } catch (const brallo::ConfigError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
    EXPECT_EQ(out.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigErrors,
                         testing::Values(ErrorCase{"goldList {fireBall laserBall}", "laserBall"},
                                         ErrorCase{"silverList FireBall", "FireBall"},
                                         ErrorCase{"map", "map"}, ErrorCase{"mode\nmap x", "mode"},
                                         ErrorCase{"winPoints;5", "winPoints"},
                                         ErrorCase{"goldList", "goldList"},
                                         ErrorCase{"mode {}", "mode"}));

TEST_F(Config, UnknownWeaponLeavesTheListAsItWas) {
    EXPECT_THROW(apply("goldList {fallBall nothing}"), brallo::ConfigError);
    EXPECT_EQ(world.goldList, WeaponList{&game::purpleBall});
}

TEST_F(Config, UnclosedBraceStopsAfterTheCommandsBeforeIt) {
    try {
        apply("winPoints 4\ngoldList {fireBall\nmap x");
        FAIL() << "no error";
    } catch (const tev::TEVError& e) {
        EXPECT_STREQ(e.what(), "Unbalanced Parens in TEV");
    }
    EXPECT_EQ(world.winPoints, 4);
    EXPECT_EQ(mapName, "map1");
}

TEST_F(Config, MalformedUtf8IsAnError) {
    EXPECT_THROW(apply("map ab\xC3"), tev::TEVError);
}

}  // namespace
