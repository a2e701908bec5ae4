// A scripted client for attacks on the relay: a blocking loopback socket that sends framed or
// raw bytes and receives with bounded waits, and can leave with a reset instead of a close.
// Used by the hostile-client and fault-proxy tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "brallo/net/frame.h"

namespace brallo::hostile {

using namespace std::chrono_literals;

class Peer {
  public:
    /// `receiveBuffer` > 0 shrinks the socket's receive buffer (for a client that never reads).
    explicit Peer(std::uint16_t port, int receiveBuffer = 0) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) throw std::runtime_error("socket");
        if (receiveBuffer > 0)
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            throw std::runtime_error("connect");
        }
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Peer() { close(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    /// Leaves with a TCP reset instead of an orderly close.
    void reset() {
        if (fd_ < 0) return;
        linger hard{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        close();
    }

    /// False when the server has gone.
    bool sendRaw(std::string_view bytes) {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                               static_cast<ssize_t>(bytes.size());
    }
    bool send(std::string_view message) {
        std::string bytes;
        net::appendFrame(bytes, message);
        return sendRaw(bytes);
    }

    /// The next message; nothing when none came within `limit` or the server closed.
    std::optional<std::string> receive(std::chrono::milliseconds limit = 5s) {
        auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (auto message = decoder_.next()) return message;
            if (!readSome(until)) return std::nullopt;
        }
    }

    /// The messages up to and including the next "GoOn"; empty when it did not come.
    std::vector<std::string> receiveTick(std::chrono::milliseconds limit = 5s) {
        std::vector<std::string> messages;
        while (auto message = receive(limit)) {
            messages.push_back(*message);
            if (*message == "GoOn") return messages;
        }
        return {};
    }

    /// Asks the four questions and "ok"; the answers (count, me, seed, configuration).
    std::vector<std::string> setup() {
        std::vector<std::string> answers;
        for (const char* question : {"count?", "me?", "seed?"}) {
            send(question);
            answers.push_back(receive().value_or("<none>"));
        }
        send("config?");
        std::string config;
        while (auto piece = receive()) {
            if (*piece == ".") break;
            config += *piece;
        }
        answers.push_back(config);
        send("ok");
        return answers;
    }

    /// True when the server closed the connection within `limit` (messages before are skipped).
    bool closedByServer(std::chrono::milliseconds limit = 5s) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (readSome(until)) {
            while (decoder_.next()) {
            }
        }
        return eof_;
    }

  private:
    bool readSome(std::chrono::steady_clock::time_point until) {
        if (fd_ < 0 || eof_) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[65536];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        return true;
    }

    int fd_ = -1;
    bool eof_ = false;
    net::FrameDecoder decoder_;
};

}  // namespace brallo::hostile
