// A real TCP connection over the loopback interface for the network tests: the client side is
// an oskasdl::TCPSocket opened as the game opens it, the peer side a plain POSIX socket.
// Used by the framing and socket tests.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "oskasdl/ext/net.h"

namespace loopback {

// A listening POSIX socket on 127.0.0.1 at a port the kernel chooses.
struct Listener {
    int fd = -1;
    uint16_t port = 0;

    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0)
            ADD_FAILURE() << "cannot listen on the loopback interface";
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
};

// The connection under test: `client` is what the game holds, `peer` plays the server.
class Connection : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { oskasdl::initNet(); }

    void SetUp() override {
        Listener listener;
        client = oskasdl::TCPSocket::open(oskasdl::resolve("127.0.0.1", listener.port));
        peer = ::accept(listener.fd, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        // A fault that makes the peer wait for bytes that never come fails instead of hanging.
        timeval limit{5, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    void TearDown() override {
        client.close();
        if (peer >= 0) ::close(peer);
    }

    void peerSends(std::string_view bytes) {
        ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Exactly `count` bytes from the client, or fewer if it sent no more within the limit.
    std::string peerReceives(std::size_t count) {
        std::string bytes(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::recv(peer, bytes.data() + got, count - got, 0);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }

    // Whether the client has sent anything not yet read, without waiting for it.
    bool peerHasPending() {
        pollfd p{peer, POLLIN, 0};
        return ::poll(&p, 1, 100) > 0;
    }

    // Whether bytes wait unread on the client's side of the connection.
    bool clientHasPending() {
        SDLNet_SocketSet set = SDLNet_AllocSocketSet(1);
        SDLNet_TCP_AddSocket(set, client.soc);
        const bool ready = SDLNet_CheckSockets(set, 100) > 0 && SDLNet_SocketReady(client.soc);
        SDLNet_FreeSocketSet(set);
        return ready;
    }

    void peerCloses() {
        ::close(peer);
        peer = -1;
    }

    oskasdl::TCPSocket client;
    int peer = -1;
};

}  // namespace loopback
