// The real relay under attack from hostile clients while a witness match plays on another
// connection pair: the witness must stay in step throughout, every hostile connection must be
// dropped with one log line and its descriptor freed, and thousands of connect-and-drop cycles
// must leave the relay's descriptor count where it started.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "peer.h"
#include "relay_process.h"

namespace brallo::hostile {
namespace {

std::string commandOf(int player, long tick) {
    return {"_jc"[tick % 3], "_lr"[(tick + player) % 3], player ? 's' : '_'};
}

/// Two well-behaved players in lockstep on a thread: each tick both send a command and each
/// must receive exactly the other's command, then "GoOn".
class WitnessMatch {
  public:
    explicit WitnessMatch(std::uint16_t port) {
        for (int p = 0; p < 2; ++p) peers_.push_back(std::make_unique<Peer>(port));
        peers_[0]->setup();
        peers_[1]->setup();
        for (auto& peer : peers_) {
            if (peer->receiveTick() != std::vector<std::string>{"GoOn"})
                throw std::runtime_error("the witness match did not start");
        }
        thread_ = std::thread([this] { play(); });
    }
    ~WitnessMatch() { stop(); }

    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    long ticks() const { return ticks_; }
    bool inStep() const { return inStep_; }
    long longestGapMs() const { return longestGapMs_; }

  private:
    void play() {
        auto last = std::chrono::steady_clock::now();
        for (long tick = 1; !stop_; ++tick) {
            for (int p = 0; p < 2; ++p) peers_[p]->send(commandOf(p, tick));
            for (int p = 0; p < 2; ++p) {
                std::vector<std::string> expected = {std::to_string(1 - p), commandOf(1 - p, tick),
                                                     "GoOn"};
                if (peers_[p]->receiveTick() != expected) {
                    inStep_ = false;
                    return;
                }
            }
            auto now = std::chrono::steady_clock::now();
            long gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
            if (gap > longestGapMs_) longestGapMs_ = gap;
            last = now;
            ticks_ = tick;
        }
    }

    std::vector<std::unique_ptr<Peer>> peers_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<long> ticks_{0};
    std::atomic<bool> inStep_{true};
    std::atomic<long> longestGapMs_{0};
};

const std::vector<std::string> relayOptions = {"--players", "2",   "--tick-ms", "2",
                                               "--timeout", "1.5", "--seed",    "11"};

/// A relay with a witness match (clients 1 and 2) playing; the attack's clients start at 3.
class RelayUnderAttack : public ::testing::Test {
  protected:
    void SetUp() override {
        witness_ = std::make_unique<WitnessMatch>(relay_.port());
        baseline_ = relay_.openDescriptors();
    }

    /// The witness played through the attack in step; its descriptors are all that is left.
    void expectRecovered(std::size_t hostileClients) {
        long before = witness_->ticks();
        auto until = std::chrono::steady_clock::now() + 5s;
        while (witness_->ticks() < before + 20 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(5ms);
        EXPECT_TRUE(witness_->inStep());
        EXPECT_GE(witness_->ticks(), before + 20) << "the witness match stalled";
        // Every attacking client has exactly one line that names it: its drop.
        auto dropLines = [&] {
            std::map<std::size_t, int> count;
            std::regex client("\\(client ([0-9]+)\\)");
            for (const auto& line : relay_.logLines("(client ")) {
                std::smatch m;
                if (std::regex_search(line, m, client)) ++count[std::stoul(m[1])];
            }
            count.erase(1);
            count.erase(2);
            return count;
        };
        until = std::chrono::steady_clock::now() + 30s;
        while (dropLines().size() < hostileClients && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(50ms);
        auto drops = dropLines();
        EXPECT_EQ(drops.size(), hostileClients);
        for (const auto& [id, lines] : drops) EXPECT_EQ(lines, 1) << "client " << id;
        until = std::chrono::steady_clock::now() + 5s;
        while (relay_.openDescriptors() != baseline_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(relay_.openDescriptors(), baseline_);
        RecordProperty("witnessTicks", std::to_string(witness_->ticks()));
        RecordProperty("longestWitnessGapMs", std::to_string(witness_->longestGapMs()));
    }

    RelayProcess relay_{relayOptions};
    std::unique_ptr<WitnessMatch> witness_;
    std::size_t baseline_ = 0;
};

struct Attack {
    const char* name;
    int clients;  ///< connections the attack opens (hostile ones and partners)
    std::function<void(std::uint16_t port)> run;
    const char* logged;  ///< part of the hostile client's drop line
};

/// The hostile client and a partner play a match; the hostile one misbehaves at the first
/// "GoOn" with `misbehave`, the partner must hear "___" once and go on alone.
void inMatch(std::uint16_t port, const std::function<void(Peer&)>& misbehave) {
    Peer hostile(port), partner(port);
    hostile.setup();
    partner.setup();
    ASSERT_EQ(hostile.receiveTick(), std::vector<std::string>{"GoOn"});
    ASSERT_EQ(partner.receiveTick(), std::vector<std::string>{"GoOn"});
    misbehave(hostile);
    partner.send("_r_");
    EXPECT_EQ(partner.receiveTick(), (std::vector<std::string>{"0", "___", "GoOn"}));
    for (int tick = 0; tick < 5; ++tick) {
        partner.send("j__");
        EXPECT_EQ(partner.receiveTick(), std::vector<std::string>{"GoOn"});
    }
    EXPECT_TRUE(hostile.closedByServer());
}

std::string garbage(std::size_t n) {
    std::mt19937 bytes(5);
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(bytes() & 0xFF));
    out[0] = '\x06';  // looks like the length of "count?", but is not
    return out;
}

const Attack attacks[] = {
    {"GarbageBytes", 1,
     [](std::uint16_t port) {
         Peer p(port);
         p.sendRaw(garbage(600));
         EXPECT_TRUE(p.closedByServer());
     },
     "protocol break: expected \"count?\""},
    {"LengthByteAndSilence", 1,
     [](std::uint16_t port) {
         Peer p(port);
         p.sendRaw("\x20");
         EXPECT_TRUE(p.closedByServer(5s));
     },
     "setup not finished within 1500 ms"},
    {"SecondQuestionFirst", 1,
     [](std::uint16_t port) {
         Peer p(port);
         p.send("me?");
         EXPECT_TRUE(p.closedByServer());
     },
     "expected \"count?\", got \"me?\""},
    {"ConfigBeforeSeed", 1,
     [](std::uint16_t port) {
         Peer p(port);
         p.send("count?");
         p.send("me?");
         p.send("config?");
         EXPECT_TRUE(p.closedByServer());
     },
     "expected \"seed?\", got \"config?\""},
    {"OkTwice", 1,
     [](std::uint16_t port) {
         Peer p(port);
         p.setup();
         p.send("ok");
         EXPECT_TRUE(p.closedByServer());
     },
     "\"ok\" while waiting for the match to start"},
    {"CommandOf0Bytes", 2, [](std::uint16_t port) { inMatch(port, [](Peer& p) { p.send(""); }); },
     "command \"\" is not 3 bytes"},
    {"CommandOf2Bytes", 2, [](std::uint16_t port) { inMatch(port, [](Peer& p) { p.send("j_"); }); },
     "command \"j_\" is not 3 bytes"},
    {"CommandOf200Bytes", 2,
     [](std::uint16_t port) { inMatch(port, [](Peer& p) { p.send(std::string(200, 'j')); }); },
     "is not 3 bytes"},
    {"QuestionDuringPlay", 2,
     [](std::uint16_t port) { inMatch(port, [](Peer& p) { p.send("seed?"); }); },
     "command \"seed?\" is not 3 bytes"},
    {"NeverReadsWhileTheOthersPlay", 2,
     [](std::uint16_t port) {
         // Asks everything at once and never reads an answer or a tick.
         Peer hostile(port, 4096), partner(port);
         std::string questions;
         for (const char* q : {"count?", "me?", "seed?", "config?", "ok"})
             net::appendFrame(questions, q);
         hostile.sendRaw(questions);
         partner.setup();
         ASSERT_EQ(partner.receiveTick(), std::vector<std::string>{"GoOn"});
         partner.send("_r_");
         EXPECT_EQ(partner.receiveTick(4s), (std::vector<std::string>{"0", "___", "GoOn"}));
         partner.send("___");
         EXPECT_EQ(partner.receiveTick(), std::vector<std::string>{"GoOn"});
     },
     "no command within 1500 ms after GoOn"},
};

class HostileClientTest : public RelayUnderAttack, public ::testing::WithParamInterface<Attack> {};

TEST_P(HostileClientTest, OnlyTheAttackerIsDroppedAndFreed) {
    GetParam().run(relay_.port());
    expectRecovered(static_cast<std::size_t>(GetParam().clients));
    for (const auto& line : relay_.logLines("(client 3)"))
        EXPECT_NE(line.find(GetParam().logged), std::string::npos) << line;
    if (GetParam().clients == 2) {
        // The partner left when the attack ended; its match ended with it.
        EXPECT_TRUE(relay_.waitForLines("match 2 ended", 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Attacks, HostileClientTest, ::testing::ValuesIn(attacks),
                         [](const auto& info) { return std::string(info.param.name); });

// Leaves at every step of setup: right after connecting, inside a message, after each
// question, after "ok"; half of them with a reset instead of a close.
TEST_F(RelayUnderAttack, TwoThousandConnectionsDroppedAtEveryStepOfSetup) {
    const char* questions[] = {"count?", "me?", "seed?", "config?", "ok"};
    constexpr int connections = 2000;
    for (int i = 0; i < connections; ++i) {
        Peer p(relay_.port());
        int step = i % 7;
        for (int q = 0; q < step && q < 5; ++q) {
            p.send(questions[q]);
            if (q < 4) p.receive();  // the answer (the configuration's first piece)
        }
        if (step == 6)
            p.sendRaw(
                "\x06"
                "cou");  // inside the first question
        if (i % 2) p.reset();
    }
    expectRecovered(connections);
}

TEST_F(RelayUnderAttack, TenThousandConnectAndDropCyclesLeaveTheDescriptorCountAsItWas) {
    constexpr int cycles = 10000;
    for (int i = 0; i < cycles; ++i) {
        Peer p(relay_.port());
        if (i % 3 == 1) p.send("count?");
        if (i % 2) p.reset();
    }
    expectRecovered(cycles);
    RecordProperty("descriptorsBefore", std::to_string(baseline_));
    RecordProperty("descriptorsAfter", std::to_string(relay_.openDescriptors()));
}

}  // namespace
}  // namespace brallo::hostile
