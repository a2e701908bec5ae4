// The relay core driven from memory with made-up times: tick pacing (never early, the slowest
// client sets the pace) and which silence counts, without any timed waits.
#include <gtest/gtest.h>

#include "relay/relay.h"

namespace brallo::relay {
namespace {

using namespace std::chrono_literals;

class RelayCore : public testing::Test {
  protected:
    RelayCore() : relay_(settings(), [this](const std::string& line) { log_.push_back(line); }) {}

    static RelaySettings settings() {
        RelaySettings s;
        s.players = 2;
        s.seed = 9;
        s.config = "map map1\n";
        s.tick = 16ms;
        s.timeout = 10s;
        return s;
    }

    static std::string framed(std::initializer_list<std::string_view> messages) {
        std::string bytes;
        for (auto m : messages) net::appendFrame(bytes, m);
        return bytes;
    }

    // What each client was sent since the last call (closing shown as "<closed>").
    std::map<ClientId, std::string> sent() {
        std::map<ClientId, std::string> out;
        for (auto& o : relay_.takeOutgoing()) out[o.client] += o.close ? "<closed>" : o.bytes;
        return out;
    }

    // Two clients through setup; both have been sent their first "GoOn" at t0.
    void startMatch() {
        a_ = relay_.connect(t0);
        b_ = relay_.connect(t0);
        for (auto id : {a_, b_})
            relay_.receive(id, framed({"count?", "me?", "seed?", "config?", "ok"}), t0);
        sent();
    }

    std::vector<std::string> log_;
    Relay relay_;
    Clock::time_point t0{};
    ClientId a_ = 0, b_ = 0;
};

TEST_F(RelayCore, NextTickNeverStartsBeforeTickMs) {
    startMatch();
    relay_.receive(a_, framed({"j__"}), t0 + 1ms);
    relay_.receive(b_, framed({"_r_"}), t0 + 2ms);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(relay_.nextDeadline(), t0 + 16ms);
    relay_.advance(t0 + 15ms);
    EXPECT_TRUE(sent().empty());
    relay_.advance(t0 + 16ms);
    auto out = sent();
    EXPECT_EQ(out[a_], framed({"1", "_r_", "GoOn"}));
    EXPECT_EQ(out[b_], framed({"0", "j__", "GoOn"}));
}

TEST_F(RelayCore, SlowestClientSetsThePace) {
    startMatch();
    relay_.receive(a_, framed({"j__"}), t0 + 1ms);
    relay_.advance(t0 + 500ms);
    EXPECT_TRUE(sent().empty());
    relay_.receive(b_, framed({"___"}), t0 + 700ms);
    EXPECT_EQ(sent()[a_], framed({"1", "___", "GoOn"}));
    // The next tick is paced from the "GoOn" just sent, not from the first one.
    relay_.receive(a_, framed({"j__"}), t0 + 701ms);
    relay_.receive(b_, framed({"___"}), t0 + 702ms);
    relay_.advance(t0 + 715ms);
    EXPECT_TRUE(sent().empty());
    relay_.advance(t0 + 716ms);
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(RelayCore, WaitingForTheNextGoOnIsNotSilence) {
    startMatch();
    // a answers at once and then waits 9.9 s for b; only b's silence is measured.
    relay_.receive(a_, framed({"j__"}), t0 + 1ms);
    relay_.receive(b_, framed({"___"}), t0 + 9900ms);
    sent();
    relay_.receive(a_, framed({"j__"}), t0 + 19800ms);
    relay_.receive(b_, framed({"___"}), t0 + 19850ms);
    EXPECT_EQ(relay_.clientCount(), 2u);
    sent();
    // Silence after a "GoOn" is measured from that "GoOn": b is dropped 10 s after tick 3's.
    relay_.receive(a_, framed({"j__"}), t0 + 19851ms);
    relay_.advance(t0 + 19850ms + 10s - 1ms);
    EXPECT_EQ(relay_.clientCount(), 2u);
    relay_.advance(t0 + 19850ms + 10s);
    EXPECT_EQ(relay_.clientCount(), 1u);
    auto out = sent();
    EXPECT_EQ(out[b_], "<closed>");
    EXPECT_EQ(out[a_], framed({"1", "___", "GoOn"}));
}

TEST_F(RelayCore, SetupMustFinishWithinTheTimeoutButWaitingForOthersIsFree) {
    ClientId a = relay_.connect(t0);
    relay_.receive(a, framed({"count?", "me?", "seed?", "config?", "ok"}), t0 + 1s);
    ClientId b = relay_.connect(t0 + 5s);
    relay_.receive(b, framed({"count?"}), t0 + 5s);
    relay_.advance(t0 + 15s - 1ms);
    EXPECT_EQ(relay_.clientCount(), 2u) << "a finished its setup; b still has time";
    relay_.advance(t0 + 15s);
    EXPECT_EQ(relay_.clientCount(), 1u);
    EXPECT_EQ(sent()[b], framed({"2"}) + "<closed>");
}

TEST_F(RelayCore, MessagesSplitAnywhereAreReassembled) {
    ClientId a = relay_.connect(t0);
    std::string bytes = framed({"count?", "me?", "seed?"});
    for (char c : bytes) relay_.receive(a, std::string_view(&c, 1), t0);
    EXPECT_EQ(sent()[a], framed({"2", "0", "9"}));
}

}  // namespace
}  // namespace brallo::relay
