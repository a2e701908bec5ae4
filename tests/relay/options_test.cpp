// Command-line options: the parser's table of good and bad arguments, and the real executable's
// exit status for --help, bad options, and a clean end on SIGTERM.
#include "relay/options.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "scripted_client.h"

namespace brallo::relay {
namespace {

using namespace std::chrono_literals;

Options parse(std::vector<std::string_view> args) {
    return parseOptions(args);
}

TEST(RelayOptions, DefaultsAndEveryOption) {
    Options defaults = parse({});
    EXPECT_EQ(defaults.port, 11112);
    EXPECT_EQ(defaults.bind, "0.0.0.0");
    EXPECT_EQ(defaults.players, 2);
    EXPECT_FALSE(defaults.seed.has_value());
    EXPECT_EQ(defaults.tick, 16ms);
    EXPECT_EQ(defaults.timeout, 10s);
    EXPECT_EQ(loadConfigText(defaults), builtinConfig);
    EXPECT_EQ(defaults.io, net::Streams::Backend::automatic);

    Options all = parse({"--port", "0", "--bind=127.0.0.1", "--players", "4", "--seed",
                         "4294967295", "--tick-ms", "0", "--timeout", "0.25", "--record", "/tmp",
                         "--config", "c.txt", "--io", "epoll"});
    EXPECT_EQ(all.port, 0);
    EXPECT_EQ(all.bind, "127.0.0.1");
    EXPECT_EQ(all.players, 4);
    EXPECT_EQ(all.seed, 4294967295u);
    EXPECT_EQ(all.tick, 0ms);
    EXPECT_EQ(all.timeout, 250ms);
    EXPECT_EQ(all.recordDir, "/tmp");
    EXPECT_EQ(all.configFile, "c.txt");
    EXPECT_EQ(all.io, net::Streams::Backend::epoll);
    EXPECT_EQ(parse({"--io=io_uring"}).io, net::Streams::Backend::ring);
    EXPECT_TRUE(parse({"--help"}).help);
}

class RelayBadOption : public testing::TestWithParam<std::vector<std::string_view>> {};

TEST_P(RelayBadOption, IsRefused) {
    EXPECT_THROW(parseOptions(GetParam()), OptionError);
}

INSTANTIATE_TEST_SUITE_P(Cases, RelayBadOption,
                         testing::Values(std::vector<std::string_view>{"--port", "65536"},
                                         std::vector<std::string_view>{"--port", "+80"},
                                         std::vector<std::string_view>{"--port"},
                                         std::vector<std::string_view>{"--players", "0"},
                                         std::vector<std::string_view>{"--players", "1025"},
                                         std::vector<std::string_view>{"--players", "two"},
                                         std::vector<std::string_view>{"--seed", "4294967296"},
                                         std::vector<std::string_view>{"--seed", "-1"},
                                         std::vector<std::string_view>{"--tick-ms", "1.5"},
                                         std::vector<std::string_view>{"--timeout", "0"},
                                         std::vector<std::string_view>{"--timeout", "1.2345"},
                                         std::vector<std::string_view>{"--timeout", ".5"},
                                         std::vector<std::string_view>{"--timeout", "5s"},
                                         std::vector<std::string_view>{"--bind="},
                                         std::vector<std::string_view>{"--colour", "red"},
                                         std::vector<std::string_view>{"--io", "select"},
                                         std::vector<std::string_view>{"players", "2"}));

TEST(RelayOptions, ConfigFileIsReadWholeAndALoneDotIsRefused) {
    std::string path = testing::TempDir() + "relay-config-" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary) << "map arena\r\nwinPoints 5";
    Options options;
    options.configFile = path;
    EXPECT_EQ(loadConfigText(options), "map arena\r\nwinPoints 5");
    std::ofstream(path, std::ios::binary) << ".";
    EXPECT_THROW(loadConfigText(options), OptionError);
    std::remove(path.c_str());
    EXPECT_THROW(loadConfigText(options), OptionError);
}

// The real executable, with its error output on a pipe.
class RelayProcess {
  public:
    explicit RelayProcess(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 2);
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            std::vector<char*> argv{const_cast<char*>(BRALLO_RELAY_PATH)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(BRALLO_RELAY_PATH, argv.data());
            _exit(127);
        }
        close(fds[1]);
        err_ = fds[0];
    }
    ~RelayProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(err_);
    }

    /// Error output up to the next line end (bounded wait).
    std::string line() {
        std::string text;
        char c;
        while (true) {
            pollfd p{err_, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0 || read(err_, &c, 1) != 1 || c == '\n') return text;
            text.push_back(c);
        }
    }

    /// The exit status, or -1 when the process does not end within 5 s.
    int exitStatus() {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }

    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int err_ = -1;
    bool exited_ = false;
};

TEST(RelayProcess, BadOptionsExitWithStatus2AndAMessage) {
    for (auto args : std::vector<std::vector<std::string>>{{"--players", "0"},
                                                           {"--bogus"},
                                                           {"--config", "/nonexistent/relay.cfg"},
                                                           {"--record", "/nonexistent/records"}}) {
        RelayProcess relay(args);
        EXPECT_NE(relay.line().find("brallo-relay: "), std::string::npos) << args[0];
        EXPECT_EQ(relay.exitStatus(), 2) << args[0];
    }
    RelayProcess help({"--help"});
    EXPECT_EQ(help.exitStatus(), 0);
}

TEST(RelayProcess, ReportsItsPortServesAndEndsCleanlyOnSigterm) {
    RelayProcess relay({"--port", "0", "--bind", "127.0.0.1", "--players", "1"});
    std::smatch match;
    std::string first = relay.line();
    ASSERT_TRUE(std::regex_search(first, match, std::regex("port ([0-9]+)"))) << first;
    auto port = static_cast<std::uint16_t>(std::stoi(match[1]));
    ASSERT_NE(port, 0);
    test::ScriptedClient client(port);
    EXPECT_EQ(client.setup()[0], "1");
    EXPECT_EQ(relay.line(), "client 1 joined match 1 as player 0");
    EXPECT_EQ(client.receiveTick(), std::vector<std::string>{"GoOn"});
    kill(relay.pid(), SIGTERM);
    EXPECT_EQ(relay.exitStatus(), 0);
    EXPECT_TRUE(client.connectionGone());
}

}  // namespace
}  // namespace brallo::relay
