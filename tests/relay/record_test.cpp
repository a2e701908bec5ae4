// Match records: what a real match writes, read back with readRecording, and the reader's
// refusal of malformed files.
#include "relay/record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scripted_client.h"

namespace brallo::relay::test {
namespace {

TEST(RelayRecord, RecordsWhatWasSentTickByTickWithDrops) {
    auto dir =
        std::filesystem::path(testing::TempDir()) / ("relay-record-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    Options options;
    options.players = 2;
    options.seed = 77;
    options.tick = std::chrono::milliseconds(1);
    options.recordDir = dir.string();
    std::string config = "map arena\n" + std::string(300, '#') + "\r\nwinPoints 5\n";
    // Commands with bytes a line-based file must escape.
    const std::vector<std::string> commands0 = {"j_s", " %\n", "___", "c\x01r", "_l_"};
    const std::vector<std::string> commands1 = {"_r_", "jrs", "tail"};  // tick 3: a bad command
    {
        ServerThread server(options, config);
        auto p0 = std::make_unique<ScriptedClient>(server.port());
        auto p1 = std::make_unique<ScriptedClient>(server.port());
        p0->setup();
        p1->setup();
        p0->receiveTick();
        p1->receiveTick();
        for (std::size_t t = 0; t < commands0.size(); ++t) {
            p0->send(commands0[t]);
            if (t < commands1.size()) p1->send(commands1[t]);
            p0->receiveTick();
            if (t < 2) p1->receiveTick();
        }
        p0.reset();
        EXPECT_TRUE(server.waitForLog("match 1 ended after 5 ticks"));
    }
    std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(dir), {});
    ASSERT_EQ(files.size(), 1u);
    std::ifstream in(files[0], std::ios::binary);
    Recording recording = readRecording(in);
    EXPECT_EQ(recording.players, 2);
    EXPECT_EQ(recording.seed, 77u);
    EXPECT_EQ(recording.config, config);
    EXPECT_TRUE(recording.finished);
    std::vector<std::vector<std::string>> expected = {
        {"j_s", "_r_"}, {" %\n", "jrs"}, {"___", ""}, {"c\x01r", ""}, {"_l_", ""}};
    EXPECT_EQ(recording.ticks, expected);
    std::filesystem::remove_all(dir);
}

TEST(RelayRecord, WriterAndReaderRoundTripEveryByte) {
    std::ostringstream out;
    RecordWriter writer(out);
    std::string config = "config 3\n\n.";
    writer.header(3, 4294967295u, config);
    for (int b = 0; b < 256; b += 3) {
        std::string c = {static_cast<char>(b), static_cast<char>(b + 1), static_cast<char>(b + 2)};
        writer.tick({c, std::nullopt, std::string("%%%")});
    }
    std::istringstream in(out.str());
    Recording recording = readRecording(in);
    EXPECT_EQ(recording.seed, 4294967295u);
    EXPECT_EQ(recording.config, config);
    EXPECT_FALSE(recording.finished) << "no end line: the relay stopped mid-match";
    ASSERT_EQ(recording.ticks.size(), 86u);
    EXPECT_EQ(recording.ticks[85][0], std::string("\xff\x00\x01", 3));
    EXPECT_EQ(recording.ticks[85][1], "");
    EXPECT_EQ(recording.ticks[85][2], "%%%");
}

struct Malformed {
    const char* name;
    std::string text;
};

class RelayRecordMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(RelayRecordMalformed, IsRefused) {
    std::istringstream in(GetParam().text);
    EXPECT_THROW(readRecording(in), RecordError);
}

const std::string head = "brallo-record 1\nplayers 2\nseed 5\nconfig 4\nab\nc\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RelayRecordMalformed,
    testing::Values(
        Malformed{"empty", ""}, Malformed{"wrongMagic", "brallo-record 2\n"},
        Malformed{"zeroPlayers", "brallo-record 1\nplayers 0\nseed 5\nconfig 0\n\n"},
        Malformed{"signedSeed", "brallo-record 1\nplayers 2\nseed +5\nconfig 0\n\n"},
        Malformed{"seedTooBig", "brallo-record 1\nplayers 2\nseed 4294967296\nconfig 0\n\n"},
        Malformed{"configCutShort", "brallo-record 1\nplayers 2\nseed 5\nconfig 40\nab\n"},
        Malformed{"configHuge", "brallo-record 1\nplayers 2\nseed 5\nconfig 99999999999\n"},
        Malformed{"noLineEndAfterConfig", "brallo-record 1\nplayers 2\nseed 5\nconfig 2\nabc\n"},
        Malformed{"tornTick", head + "tick 1 ___ ___"},
        Malformed{"tickNumberSkips", head + "tick 2 ___ ___\n"},
        Malformed{"tooFewCommands", head + "tick 1 ___\n"},
        Malformed{"tooManyCommands", head + "tick 1 ___ ___ ___\n"},
        Malformed{"commandTooShort", head + "tick 1 __ ___\n"},
        Malformed{"badEscape", head + "tick 1 %G__ ___\n"},
        Malformed{"cutEscape", head + "tick 1 __% ___\n"},
        Malformed{"commandAfterDrop", head + "tick 1 ___ -\ntick 2 ___ ___\n"},
        Malformed{"endCountWrong", head + "tick 1 ___ ___\nend 2\n"},
        Malformed{"textAfterEnd", head + "tick 1 ___ ___\nend 1\ntick 2 ___ ___\n"},
        Malformed{"unknownLine", head + "tock 1 ___ ___\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brallo::relay::test
