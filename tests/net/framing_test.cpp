// sendStr and receiveStr over a real loopback connection: the bytes on the wire, messages that
// arrive in pieces or together, and a peer that goes away.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "brallo/net/net.h"
#include "loopback.h"

namespace {

using brallo::net::receiveStr;
using brallo::net::sendStr;
using namespace std::string_literals;

class Framing : public loopback::Connection {};

TEST(Port, DefaultsToRelayPort) {
    EXPECT_EQ(brallo::net::port, 11112);
}

// Texts and the exact bytes they travel as.
struct WireCase {
    std::string name, text, wire;
};

std::vector<WireCase> wireCases() {
    return {
        {"Empty", "", "\x00"s},
        {"Word", "count?", "\x06"s + "count?"},
        {"ZeroByteInside", "a\0b"s, "\x03"s + "a\0b"s},
        {"HighBytes", "\xff\x80", "\x02\xff\x80"},
        {"Longest", std::string(255, 'x'), "\xff"s + std::string(255, 'x')},
    };
}

class Wire : public loopback::Connection, public ::testing::WithParamInterface<WireCase> {};

TEST_P(Wire, SendStrPutsLengthByteBeforeText) {
    sendStr(client, GetParam().text);
    EXPECT_EQ(peerReceives(GetParam().wire.size()), GetParam().wire);
    EXPECT_FALSE(peerHasPending());
}

TEST_P(Wire, ReceiveStrReturnsTheWholeText) {
    peerSends(GetParam().wire);
    EXPECT_EQ(receiveStr(client), GetParam().text);
    EXPECT_FALSE(clientHasPending());
}

INSTANTIATE_TEST_SUITE_P(Texts, Wire, ::testing::ValuesIn(wireCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(Framing, TooLongTextIsRefusedBeforeAnythingIsSent) {
    try {
        sendStr(client, std::string(256, 'y'));
        FAIL() << "no exception";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "Too long message");
    }
    sendStr(client, "ok");
    EXPECT_EQ(peerReceives(3), "\x02ok");
    EXPECT_FALSE(peerHasPending());
}

// Where the peer cuts the bytes of one message; each piece comes after a pause, so a receive
// that returns early would see only part of the text.
struct PiecesCase {
    std::string name;
    std::vector<std::size_t> cuts;
};

class Pieces : public loopback::Connection, public ::testing::WithParamInterface<PiecesCase> {};

TEST_P(Pieces, MessageIsReturnedWholeOnlyOnceAllBytesAreIn) {
    const std::string text = "0 lr ";
    const std::string wire = "\x05"s + text;
    std::thread sender([&] {
        std::size_t from = 0;
        for (std::size_t cut : GetParam().cuts) {
            peerSends(std::string_view(wire).substr(from, cut - from));
            from = cut;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        peerSends(std::string_view(wire).substr(from));
    });
    const std::string got(receiveStr(client));
    sender.join();
    EXPECT_EQ(got, text);
    EXPECT_FALSE(clientHasPending());
}

INSTANTIATE_TEST_SUITE_P(Cuts, Pieces,
                         ::testing::Values(PiecesCase{"LengthByteAlone", {1}},
                                           PiecesCase{"InsideText", {3}},
                                           PiecesCase{"ByteByByte", {1, 2, 3, 4, 5}}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Framing, TwoMessagesTogetherAreReturnedOneByOne) {
    peerSends("\x04GoOn\x00\x03me?"s);
    EXPECT_EQ(receiveStr(client), "GoOn");
    EXPECT_TRUE(clientHasPending()) << "the next message must stay in the connection";
    EXPECT_EQ(receiveStr(client), "");
    EXPECT_TRUE(clientHasPending());
    EXPECT_EQ(receiveStr(client), "me?");
    EXPECT_FALSE(clientHasPending());
}

TEST_F(Framing, NextCallOverwritesTheReturnedText) {
    peerSends(
        "\x05seed?\x03"
        "abc");
    const std::string_view first = receiveStr(client);
    EXPECT_EQ(first, "seed?");
    const std::string_view second = receiveStr(client);
    EXPECT_EQ(second, "abc");
    EXPECT_EQ(first.data(), second.data());
}

// The peer goes away before a whole message is in: a clear failure, never a spin.
class PeerGone : public loopback::Connection, public ::testing::WithParamInterface<std::string> {};

TEST_P(PeerGone, ReceiveStrFailsClearly) {
    peerSends(GetParam());
    peerCloses();
    try {
        receiveStr(client);
        FAIL() << "no exception";
    } catch (const oskasdl::SDLNetException& e) {
        EXPECT_STREQ(e.what(), "Server closed the connection");
    }
}

INSTANTIATE_TEST_SUITE_P(Partial, PeerGone,
                         ::testing::Values(""s, "\x05"s, "\x05" + "ab"s,
                                           "\xff"s + std::string(254, 'z')));

TEST_F(Framing, ReceiveAfterResetFailsWithSdlError) {
    linger abort{1, 0};  // close with a reset instead of an orderly end
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    sendStr(client, "unread");  // unread data on close makes the reset certain
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    peerCloses();
    try {
        receiveStr(client);
        FAIL() << "no exception";
    } catch (const oskasdl::SDLException& e) {
        EXPECT_STREQ(e.what(), "Receive failed: Connection reset by peer");
    }
}

TEST_F(Framing, SendToAGonePeerFailsWithinAFewMessages) {
    peerCloses();
    // The first sends may still be taken by the system; once the peer's reset is in, a send
    // fails with SDLNetException rather than killing the process with SIGPIPE.
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i) {
        try {
            sendStr(client, "lr ");
        } catch (const oskasdl::SDLNetException& e) {
            failed = true;
            EXPECT_STRNE(e.what(), "");
            EXPECT_EQ(std::string(e.what()).rfind("Send failed: ", 0), 0u) << e.what();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(failed);
}

}  // namespace
