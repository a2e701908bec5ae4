// The real client binary against a scripted relay: the console dialogue, the setup handshake,
// the tick exchange, closing the window, and every kind of bad input from the server.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "data_folder.h"
#include "process.h"
#include "server.h"

namespace brallo {
namespace {

using namespace std::chrono_literals;
using testing::Process;
using testing::ScriptedServer;

using testing::DataFolder;

const std::vector<std::string> headlessEnv = testing::headlessClientEnv();

/// Reads lines until `line` appears; false when the output ends first.
bool skipTo(Process& client, const std::string& line) {
    while (auto l = client.readLine()) {
        if (*l == line) return true;
    }
    return false;
}

std::string address(const ScriptedServer& s) {
    return "127.0.0.1:" + std::to_string(s.port());
}

TEST(ClientTest, PrintsTheStartUpLinesInOrderAndPlaysTicks) {
    DataFolder data;
    ScriptedServer server;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin("  127.0.0.1:" + std::to_string(server.port()) + " \n");

    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.serveSetup(
        "3", "0", "0042",
        {"mode m\nmap ", "map1\ngoldList {purpleBall", " fallBall}\n", "", "silverList fireBall"}));

    std::vector<std::string> expected = {"init(29233)",
                                         "Initialized",
                                         "connect to (enter nothing for localhost)?",
                                         "127.0.0.1",
                                         "port " + std::to_string(server.port()),
                                         "",  // Connection: <handle>
                                         "Seed: 0042",
                                         "Receiving config",
                                         "New gl length: 2",
                                         "New sl length: 1",
                                         "main loop"};
    for (const std::string& line : expected) {
        auto got = client.readLine();
        ASSERT_TRUE(got) << "missing: " << line << "\n" << client.stderrText();
        if (line.empty()) {
            EXPECT_TRUE(std::regex_match(*got, std::regex("Connection: [0-9A-F]+"))) << *got;
        } else {
            EXPECT_EQ(*got, line);
        }
    }

    // Commands of other players are taken without an answer; each "GoOn" gets one command.
    for (int tick = 0; tick < 20; ++tick) {
        server.send("1");
        server.send("_r_");
        server.send("+2");
        server.send("j_s");
        EXPECT_EQ(server.receive(30ms), std::nullopt) << "answered before GoOn";
        server.send("GoOn");
        auto command = server.receive();
        ASSERT_TRUE(command);
        EXPECT_EQ(*command, "___");  // no key is held
    }

    // Closing the window (SDL turns SIGTERM into a quit) while the server is silent.
    client.signal(SIGTERM);
    EXPECT_EQ(client.wait(5s), std::optional<int>(0)) << client.stderrText();
}

TEST(ClientTest, ColonPortAnswerConnectsToLocalhost) {
    DataFolder data;
    ScriptedServer server;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin(":" + std::to_string(server.port()) + "\n");
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.serveSetup("2", "1", "9", {"map map1 ", "..", "\n"}));  // ".." is text
    EXPECT_TRUE(skipTo(client, "main loop")) << client.stderrText();
    client.signal(SIGTERM);
    EXPECT_EQ(client.wait(5s), std::optional<int>(0));
}

TEST(ClientTest, QuitWhileTheServerIsSilentEndsWithStatusZero) {
    DataFolder data;
    ScriptedServer server;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin(address(server) + "\n");
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.serveSetup("1", "0", "1", {}));
    ASSERT_TRUE(skipTo(client, "main loop")) << client.stderrText();
    std::this_thread::sleep_for(200ms);
    client.signal(SIGTERM);
    EXPECT_EQ(client.wait(5s), std::optional<int>(0)) << client.stderrText();
}

TEST(ClientTest, AFailedSdlStartPrintsItsLineAndEnds) {
    DataFolder data;
    std::vector<std::string> env = headlessEnv;
    env.push_back("SDL_VIDEODRIVER=no-such-driver");  // the later setting wins
    Process client({BRALLO_CLIENT}, data.path(), env);
    EXPECT_EQ(client.readLine(), "init(29233)");
    EXPECT_EQ(client.readLine(), "Initiliziation failed");
    EXPECT_EQ(client.wait(10s), std::optional<int>(1));
    EXPECT_EQ(client.stderrText(), "Initialization failed\n");
}

TEST(ClientTest, AnAddressWithoutPortAfterTheColonFailsBeforeConnecting) {
    DataFolder data;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin("localhost:\n");
    EXPECT_EQ(client.wait(10s), std::optional<int>(1));
    EXPECT_NE(client.stderrText().find("port"), std::string::npos) << client.stderrText();
}

TEST(ClientTest, AnUnresolvableHostFails) {
    // In a network namespace of its own the lookup fails at once and no query leaves the machine.
    if (std::system("unshare -n true 2>/dev/null") != 0) GTEST_SKIP() << "needs unshare -n";
    DataFolder data;
    Process client({"/usr/bin/unshare", "-n", BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin("no-such-host.invalid:5\n");
    EXPECT_EQ(client.wait(20s), std::optional<int>(1));
    EXPECT_NE(client.stderrText().find("no-such-host.invalid"), std::string::npos);
}

TEST(ClientTest, UnknownConfigurationCommandWaitsForEnterThenEnds) {
    DataFolder data;
    ScriptedServer server;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin(address(server) + "\n");
    ASSERT_TRUE(server.accept());
    ASSERT_EQ(server.receive(), "count?");
    server.send("2");
    ASSERT_EQ(server.receive(), "me?");
    server.send("1");
    ASSERT_EQ(server.receive(), "seed?");
    server.send("5");
    ASSERT_EQ(server.receive(), "config?");
    server.send("Mode m\n");
    server.send(".");
    bool seen = false;
    while (auto line = client.readLine(5s)) {
        if (*line == "Unknown commmand: Mode") {
            seen = true;
            break;
        }
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.wait(300ms), std::nullopt) << "did not wait for a line of input";
    client.writeStdin("\n");
    EXPECT_EQ(client.wait(5s), std::optional<int>(1));
}

/// What a hostile or broken server does after the client connected.
struct BadServerCase {
    const char* name;
    std::function<void(ScriptedServer&)> script;
};

void setupThen(ScriptedServer& s, const std::vector<std::string>& duringPlay) {
    if (!s.serveSetup("2", "0", "3", {})) return;
    for (const std::string& m : duringPlay) s.send(m);
}

void answerUntil(ScriptedServer& s, const std::string& question) {
    for (const char* q : {"count?", "me?", "seed?", "config?"}) {
        if (s.receive() != q) return;
        if (q == question) return;
        s.send(q == std::string("count?") ? "2" : q == std::string("me?") ? "0" : "3");
        if (q == std::string("config?")) s.send(".");
    }
}

const BadServerCase badServers[] = {
    {"ClosesRightAway", [](ScriptedServer& s) { s.closeClient(); }},
    {"ClosesDuringSetup",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.closeClient();
     }},
    {"LengthByteThenEnd",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.sendRaw(
             "\x05"
             "ab");
         s.closeClient();
     }},
    {"CountZero",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("0");
     }},
    {"CountNegative",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("-3");
     }},
    {"CountHuge",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("2147483647");
     }},
    {"CountNotANumber",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("two");
     }},
    {"CountEmpty",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("");
     }},
    {"OwnNumberOutside",
     [](ScriptedServer& s) {
         answerUntil(s, "me?");
         s.send("2");
     }},
    {"OwnNumberNegative",
     [](ScriptedServer& s) {
         answerUntil(s, "me?");
         s.send("-1");
     }},
    {"SeedNegative",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.send("-1");
     }},
    {"SeedAbove32Bits",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.send("4294967296");
     }},
    {"SeedWithSpace",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.send(" 1");
     }},
    {"ConfigNeverEnds",
     [](ScriptedServer& s) {
         answerUntil(s, "config?");
         std::string piece(255, 'x');
         for (int i = 0; i < 4200; ++i) s.send(piece);
     }},
    {"UnbalancedConfig",
     [](ScriptedServer& s) {
         answerUntil(s, "config?");
         s.send("map {m");
         s.send(".");
     }},
    {"UnknownWeapon",
     [](ScriptedServer& s) {
         answerUntil(s, "config?");
         s.send("goldList {laser}");
         s.send(".");
     }},
    {"OwnNumberDuringPlay",
     [](ScriptedServer& s) {
         setupThen(s, {"0", "___"});
     }},
    {"NumberOutsideTable",
     [](ScriptedServer& s) {
         setupThen(s, {"7", "___"});
     }},
    {"ShortCommand",
     [](ScriptedServer& s) {
         setupThen(s, {"1", "ab"});
     }},
    {"LowerCaseGoOn", [](ScriptedServer& s) { setupThen(s, {"goon"}); }},
    {"GoOnWithSpace", [](ScriptedServer& s) { setupThen(s, {"GoOn "}); }},
    {"ClosesDuringPlay",
     [](ScriptedServer& s) {
         setupThen(s, {"GoOn", "1"});
         s.closeClient();
     }},
};

class BadServerTest : public ::testing::TestWithParam<BadServerCase> {};

TEST_P(BadServerTest, EndsWithStatusOneAndOneLineOfError) {
    DataFolder data;
    ScriptedServer server;
    Process client({BRALLO_CLIENT}, data.path(), headlessEnv);
    client.writeStdin(address(server) + "\n");
    ASSERT_TRUE(server.accept());
    GetParam().script(server);

    auto status = client.wait(10s);
    ASSERT_TRUE(status) << "client still running";
    EXPECT_EQ(*status, 1);
    std::string err = client.stderrText();
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "more than one line: " << err;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadServerTest, ::testing::ValuesIn(badServers),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brallo
