// The TCP handle of the wrapper library: opening, accepting, raw receive, close, and calls on a
// handle without a connection.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "loopback.h"
#include "oskasdl/ext/net.h"

namespace {

using oskasdl::SDLNetException;
using oskasdl::TCPSocket;

class Socket : public loopback::Connection {};

TEST(Resolve, NumericAddress) {
    oskasdl::initNet();
    IPaddress address{};
    ASSERT_TRUE(oskasdl::resolveChecked("127.0.0.1", 11112, address));
    EXPECT_EQ(SDLNet_Read32(&address.host), 0x7f000001u);
    EXPECT_EQ(SDLNet_Read16(&address.port), 11112);
    const IPaddress same = oskasdl::resolve("127.0.0.1", 11112);
    EXPECT_EQ(same.host, address.host);
    EXPECT_EQ(same.port, address.port);
}

TEST(Open, RefusedConnectionRaises) {
    oskasdl::initNet();
    uint16_t port = 0;
    {
        loopback::Listener listener;  // a port that was free a moment ago and is closed now
        port = listener.port;
    }
    try {
        TCPSocket::open(oskasdl::resolve("127.0.0.1", port));
        FAIL() << "no exception";
    } catch (const SDLNetException& e) {
        EXPECT_STRNE(e.what(), "");
    }
}

// A listening TCPSocket on the first free port from 20000 up.
TCPSocket listenOnFreePort(uint16_t& port) {
    for (port = 20000; port < 20200; ++port) {
        IPaddress address{};
        if (SDLNet_ResolveHost(&address, nullptr, port) != 0) continue;
        try {
            return TCPSocket::open(address);
        } catch (const SDLNetException&) {
        }
    }
    ADD_FAILURE() << "no free port";
    return {};
}

TEST(Accept, TakesPendingConnectionsAndReturnsNullWithoutOne) {
    oskasdl::initNet();
    uint16_t port = 0;
    TCPSocket server = listenOnFreePort(port);
    ASSERT_NE(server.soc, nullptr);
    EXPECT_EQ(server.accept().soc, nullptr);

    TCPSocket client = TCPSocket::open(oskasdl::resolve("127.0.0.1", port));
    TCPSocket accepted;
    for (int i = 0; i < 200 && accepted.soc == nullptr; ++i) {
        accepted = server.accept();
        if (accepted.soc == nullptr) SDL_Delay(5);
    }
    ASSERT_NE(accepted.soc, nullptr);
    client.rawSend(std::string_view("hi"));
    std::array<uint8_t, 8> buffer{};
    const auto got = accepted.rawReceive(buffer);
    EXPECT_EQ(std::string(got.begin(), got.end()), "hi");
    accepted.close();
    client.close();
    server.close();
}

TEST_F(Socket, RawReceiveTakesNoMoreThanTheBuffer) {
    peerSends("abcdefgh");
    std::array<uint8_t, 3> small{};
    const auto first = client.rawReceive(small);
    EXPECT_EQ(first.data(), small.data());
    EXPECT_EQ(std::string(first.begin(), first.end()), "abc");
    std::array<uint8_t, 16> large{};
    const auto rest = client.rawReceive(large);
    EXPECT_EQ(std::string(rest.begin(), rest.end()), "defgh");
}

TEST_F(Socket, RawReceiveWithoutBufferUses512Bytes) {
    const std::string sent(600, 'q');
    peerSends(sent);
    std::string got;
    while (got.size() < sent.size()) {
        const auto piece = client.rawReceive();
        ASSERT_FALSE(piece.empty());
        EXPECT_LE(piece.size(), 512u);
        got.append(piece.begin(), piece.end());
    }
    EXPECT_EQ(got, sent);
}

TEST_F(Socket, RawReceiveAtEndOfStreamIsEmpty) {
    peerCloses();
    EXPECT_TRUE(client.rawReceive().empty());
}

TEST_F(Socket, RawSendOfBytes) {
    const std::array<uint8_t, 4> bytes{0, 255, 7, 0};
    client.rawSend(bytes);
    EXPECT_EQ(peerReceives(4), std::string("\x00\xff\x07\x00", 4));
}

TEST_F(Socket, CloseTwiceDoesNothing) {
    client.close();
    EXPECT_EQ(client.soc, nullptr);
    client.close();
    EXPECT_EQ(client.soc, nullptr);
    EXPECT_EQ(peerReceives(1), "") << "the peer sees the end of the stream";
}

// SDL_net would dereference a null handle; the wrapper reports it instead.
TEST(NoConnection, CallsRaiseInsteadOfCrashing) {
    TCPSocket none;
    none.close();
    EXPECT_EQ(none.soc, nullptr);
    std::array<uint8_t, 4> buffer{};
    EXPECT_THROW(none.rawSend(std::string_view("x")), SDLNetException);
    EXPECT_THROW(none.rawReceive(buffer), SDLNetException);
    EXPECT_THROW(none.accept(), SDLNetException);
}

TEST(SDLNetException, IsAnSDLExceptionWithItsText) {
    try {
        throw SDLNetException("Server closed the connection");
    } catch (const oskasdl::SDLException& e) {
        EXPECT_STREQ(e.what(), "Server closed the connection");
    }
}

}  // namespace
