// The real client against hostile scripted servers. What the protocol allows, however oddly it
// is sent (single bytes, thousands of relayed commands, a configuration in hundreds of pieces or
// right at the size cap), must play on; what it forbids must end the client with status 1 and
// one line on the error output. Either way the client ends within 5 s of the connection's end.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "brallo/main/protocol.h"
#include "data_folder.h"
#include "process.h"
#include "server.h"

namespace brallo {
namespace {

using namespace std::chrono_literals;
using testing::DataFolder;
using testing::Process;
using testing::ScriptedServer;

/// One framed message, its bytes sent one at a time with a pause, so each arrives on its own.
void sendBytewise(ScriptedServer& s, std::string_view text) {
    std::string frame;
    net::appendFrame(frame, text);
    for (char byte : frame) {
        s.sendRaw(std::string_view(&byte, 1));
        std::this_thread::sleep_for(200us);
    }
}

/// Answers the four questions with `send` and expects the "ok".
void setupWith(ScriptedServer& s, const std::function<void(std::string_view)>& send,
               const std::vector<std::string>& answers, const std::vector<std::string>& config) {
    const char* questions[] = {"count?", "me?", "seed?"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(s.receive(), questions[i]);
        send(answers[i]);
    }
    ASSERT_EQ(s.receive(), "config?");
    for (const std::string& piece : config) send(piece);
    send(".");
    ASSERT_EQ(s.receive(), "ok");
}

void plainSetup(ScriptedServer& s, const std::vector<std::string>& config = {}) {
    setupWith(
        s, [&](std::string_view m) { s.send(m); }, {"2", "0", "3"}, config);
}

/// Sends "GoOn" and expects the client's three-character command for it.
void expectAnswer(ScriptedServer& s, std::chrono::milliseconds limit = 5s) {
    s.send("GoOn");
    auto command = s.receive(limit);
    ASSERT_TRUE(command) << "no command for GoOn";
    EXPECT_EQ(command->size(), 3u) << *command;
}

/// Lines "winPoints 3", padded with blanks to exactly `size` bytes, cut into pieces of
/// `pieceSize` bytes.
std::vector<std::string> configPieces(std::size_t size, std::size_t pieceSize) {
    std::string line = "winPoints 3\n";
    std::string text;
    while (text.size() + line.size() < size) text += line;
    text += std::string(size - text.size() - 1, ' ') + "\n";
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < text.size(); at += pieceSize)
        pieces.push_back(text.substr(at, pieceSize));
    return pieces;
}

struct ServerScript {
    const char* name;
    std::function<void(ScriptedServer&)> script;
};

/// Starts the client against a scripted server and runs the script once it has connected.
class HostileServer {
  public:
    HostileServer() : client_({BRALLO_CLIENT}, data_.path(), testing::headlessClientEnv()) {
        client_.writeStdin("127.0.0.1:" + std::to_string(server_.port()) + "\n");
    }
    ScriptedServer& server() { return server_; }
    Process& client() { return client_; }

    /// The client ended with status 1 and exactly one line on the error output.
    void expectOneLineFailure(std::chrono::milliseconds limit) {
        auto status = client_.wait(limit);
        ASSERT_TRUE(status) << "client still running " << limit.count() << " ms later";
        EXPECT_EQ(*status, 1);
        std::string err = client_.stderrText();
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "not one line: " << err;
    }

  private:
    DataFolder data_;
    ScriptedServer server_;
    Process client_;
};

// Cases the protocol allows: after each the client still plays, and when the server then
// closes the connection it ends at once with one line.
const ServerScript allowed[] = {
    {"EverythingInSingleBytes",
     [](ScriptedServer& s) {
         auto bytewise = [&](std::string_view m) { sendBytewise(s, m); };
         setupWith(s, bytewise, {"3", "2", "0042"},
                   {"mode m\nmap map1\n", "goldList {purpleBall}", "\n"});
         for (int tick = 0; tick < 10; ++tick) {
             bytewise("0");
             bytewise("jls");
             bytewise("+1");
             bytewise("c_s");
             bytewise("GoOn");
             auto command = s.receive();
             ASSERT_TRUE(command);
             EXPECT_EQ(command->size(), 3u);
         }
     }},
    {"TenThousandNumbersBeforeOneGoOn",
     [](ScriptedServer& s) {
         plainSetup(s);
         std::string burst;
         for (int i = 0; i < 10000; ++i) {
             net::appendFrame(burst, "1");
             net::appendFrame(burst, i % 2 ? "_r_" : "jls");
         }
         s.sendRaw(burst);
         expectAnswer(s, 100s);  // every relayed command is a pass with a frame drawn
         expectAnswer(s);
     }},
    {"ConfigOf100kBIn400Pieces",
     [](ScriptedServer& s) {
         auto pieces = configPieces(400 * 252, 252);
         ASSERT_EQ(pieces.size(), 400u);
         plainSetup(s, pieces);
         expectAnswer(s);
     }},
    {"ConfigExactlyAtTheCap",
     [](ScriptedServer& s) {
         plainSetup(s, configPieces(maxConfigBytes, 255));
         expectAnswer(s);
     }},
    {"ManyTicksInOneWrite",
     [](ScriptedServer& s) {
         plainSetup(s);
         std::string burst;
         for (int tick = 0; tick < 50; ++tick) {
             net::appendFrame(burst, "1");
             net::appendFrame(burst, "j_s");
             net::appendFrame(burst, "GoOn");
         }
         s.sendRaw(burst);
         for (int tick = 0; tick < 50; ++tick) {
             auto command = s.receive();
             ASSERT_TRUE(command) << "answer " << tick;
         }
     }},
    {"LongCommandActsByItsFirstThree",
     [](ScriptedServer& s) {
         plainSetup(s);
         s.send("1");
         s.send(std::string(255, 'j'));
         expectAnswer(s);
     }},
    {"LargestCountAndSeed",
     [](ScriptedServer& s) {
         setupWith(s, [&](std::string_view m) { s.send(m); },
                   {std::to_string(maxPlayers), std::to_string(maxPlayers - 1), "04294967295"}, {});
         s.send("0");
         s.send("_r_");
         expectAnswer(s, 20s);
     }},
};

class AllowedServerTest : public ::testing::TestWithParam<ServerScript> {};

TEST_P(AllowedServerTest, PlaysOnAndEndsWhenTheConnectionEnds) {
    HostileServer h;
    ASSERT_TRUE(h.server().accept());
    GetParam().script(h.server());
    if (HasFatalFailure()) return;
    EXPECT_EQ(h.client().wait(0ms), std::nullopt) << h.client().stderrText();
    h.server().closeClient();
    h.expectOneLineFailure(5s);
}

INSTANTIATE_TEST_SUITE_P(Cases, AllowedServerTest, ::testing::ValuesIn(allowed),
                         [](const auto& info) { return std::string(info.param.name); });

void answerUntil(ScriptedServer& s, const std::string& question) {
    const char* answers[] = {"2", "0", "3"};
    const char* questions[] = {"count?", "me?", "seed?", "config?"};
    for (int i = 0; i < 4; ++i) {
        if (s.receive() != questions[i] || question == questions[i]) return;
        s.send(answers[i]);
    }
}

/// Setup as player 0 of 2, one tick answered, then `duringPlay`.
void playThen(ScriptedServer& s, const std::vector<std::string>& duringPlay) {
    plainSetup(s);
    expectAnswer(s);
    for (const std::string& m : duringPlay) s.send(m);
}

void configThen(ScriptedServer& s, const std::vector<std::string>& pieces) {
    answerUntil(s, "config?");
    for (const std::string& piece : pieces) s.send(piece);
    s.send(".");
}

// Cases the protocol forbids: each ends the client with status 1 and one line. The scripts
// that end the connection themselves check that the client does not outlive it by 5 s.
const ServerScript forbidden[] = {
    {"LoneLengthByteThenEnd",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.sendRaw("\x05");
         s.closeClient();
     }},
    {"HalfMessageThenSilenceThenEnd",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.sendRaw(
             "\x0a"
             "123");
         std::this_thread::sleep_for(300ms);
         s.closeClient();
     }},
    {"HalfMessageDuringPlayThenEnd",
     [](ScriptedServer& s) {
         plainSetup(s);
         expectAnswer(s);
         s.sendRaw(
             "\x04"
             "Go");
         s.closeClient();
     }},
    {"GoOnThenEnd",
     [](ScriptedServer& s) {
         plainSetup(s);
         s.send("GoOn");
         s.closeClient();
     }},
    {"ManyGoOnsThenEnd",
     [](ScriptedServer& s) {
         plainSetup(s);
         std::string burst;
         for (int i = 0; i < 50; ++i) net::appendFrame(burst, "GoOn");
         s.sendRaw(burst);
         s.closeClient();
     }},
    {"CountAboveTheLimit",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send(std::to_string(maxPlayers + 1));
     }},
    {"CountAbove31Bits",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send("2147483648");
     }},
    {"CountWithByteZero",
     [](ScriptedServer& s) {
         answerUntil(s, "count?");
         s.send(std::string("2\0", 2));
     }},
    {"SeedWithPlus",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.send("+5");
     }},
    {"SeedOfTwentyDigits",
     [](ScriptedServer& s) {
         answerUntil(s, "seed?");
         s.send("99999999999999999999");
     }},
    {"ConfigOneByteOverTheCap",
     [](ScriptedServer& s) { configThen(s, configPieces(maxConfigBytes + 1, 255)); }},
    {"ConfigNotUtf8", [](ScriptedServer& s) { configThen(s, {"map \xff\xfe\n"}); }},
    {"ConfigModeWithoutCharacter", [](ScriptedServer& s) { configThen(s, {"mode {}\n"}); }},
    {"ConfigCommandWithoutArgument", [](ScriptedServer& s) { configThen(s, {"winPoints\n"}); }},
    {"ConfigWinPointsTooLarge",
     [](ScriptedServer& s) { configThen(s, {"winPoints 2147483648\n"}); }},
    {"ConfigNamesAMapThatIsNotThere", [](ScriptedServer& s) { configThen(s, {"map nowhere\n"}); }},
    {"EmptyMessageDuringPlay", [](ScriptedServer& s) { playThen(s, {""}); }},
    {"NegativePlayerNumber",
     [](ScriptedServer& s) {
         playThen(s, {"-1", "___"});
     }},
    {"PlayerNumberThatWrapsTo1",
     [](ScriptedServer& s) {
         playThen(s, {"4294967297", "___"});
     }},
    {"PlayerNumberWithSpace",
     [](ScriptedServer& s) {
         playThen(s, {"1 ", "___"});
     }},
    {"EmptyCommand",
     [](ScriptedServer& s) {
         playThen(s, {"1", ""});
     }},
    {"NumberThenEnd",
     [](ScriptedServer& s) {
         playThen(s, {"1"});
         s.closeClient();
     }},
};

class ForbiddenServerTest : public ::testing::TestWithParam<ServerScript> {};

TEST_P(ForbiddenServerTest, EndsWithStatusOneAndOneLine) {
    HostileServer h;
    ASSERT_TRUE(h.server().accept());
    GetParam().script(h.server());
    if (HasFatalFailure()) return;
    h.expectOneLineFailure(5s);
}

INSTANTIATE_TEST_SUITE_P(Cases, ForbiddenServerTest, ::testing::ValuesIn(forbidden),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brallo
