// Test helpers for the relay: a scripted client on a plain blocking POSIX socket speaking the
// framed protocol with bounded waits, and a relay server running on a thread of the test.
// Used by the relay's socket tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "brallo/net/frame.h"
#include "relay/server.h"

namespace brallo::relay::test {

using namespace std::chrono_literals;

/// Every wait of a test is bounded by this, so a broken relay fails the test instead of hanging.
inline constexpr std::chrono::milliseconds patience = 5s;

class ScriptedClient {
  public:
    /// `receiveBuffer` > 0 shrinks the socket's receive buffer (a client that reads slowly).
    explicit ScriptedClient(std::uint16_t port, int receiveBuffer = 0) {
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
    ~ScriptedClient() { close(); }
    ScriptedClient(const ScriptedClient&) = delete;
    ScriptedClient& operator=(const ScriptedClient&) = delete;

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    void sendRaw(const std::string& bytes) {
        if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("send");
    }
    void send(std::string_view message) {
        std::string bytes;
        net::appendFrame(bytes, message);
        sendRaw(bytes);
    }

    /// The next message; nullopt when none came within `wait` or the server closed.
    std::optional<std::string> receive(std::chrono::milliseconds wait = patience) {
        auto until = std::chrono::steady_clock::now() + wait;
        while (true) {
            if (auto message = decoder_.next()) return message;
            if (!readSome(until)) return std::nullopt;
        }
    }

    /// Messages up to and including the next "GoOn" (empty when it does not come), and whether
    /// they came out of one read: the server writes a tick's messages in one send.
    std::vector<std::string> receiveTick(bool* inOneRead = nullptr) {
        std::vector<std::string> messages;
        int reads = reads_;
        while (auto message = receive()) {
            messages.push_back(*message);
            if (*message == "GoOn") {
                if (inOneRead) *inOneRead = reads_ - reads <= 1 && decoder_.buffered() == 0;
                return messages;
            }
        }
        return {};
    }

    /// True when the connection is gone: closed by this client, or by the server within `wait`
    /// (messages before that are skipped).
    bool connectionGone(std::chrono::milliseconds wait = patience) {
        if (fd_ < 0) return true;
        auto until = std::chrono::steady_clock::now() + wait;
        while (decoder_.next()) {
        }
        while (readSome(until)) {
            while (decoder_.next()) {
            }
        }
        return eof_;
    }

    /// Runs the whole setup dialogue; returns the answers: count, me, seed, configuration.
    std::vector<std::string> setup() {
        std::vector<std::string> answers;
        for (auto question : {"count?", "me?", "seed?"}) {
            send(question);
            answers.push_back(receive().value_or("<nothing>"));
        }
        send("config?");
        answers.push_back(receiveConfig());
        send("ok");
        return answers;
    }

    std::string receiveConfig() {
        std::string config;
        while (auto piece = receive()) {
            if (*piece == ".") return config;
            config += *piece;
            pieces_.push_back(*piece);
        }
        return "<cut short>";
    }

    const std::vector<std::string>& configPieces() const { return pieces_; }

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
        ++reads_;
        decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        return true;
    }

    int fd_ = -1;
    bool eof_ = false;
    int reads_ = 0;
    net::FrameDecoder decoder_;
    std::vector<std::string> pieces_;
};

/// The socket back end the servers of these tests use: BRALLO_TEST_IO=epoll runs the suite on
/// epoll (CTest runs it both ways), otherwise the relay picks as it does in use.
inline net::Streams::Backend testBackend() {
    const char* io = std::getenv("BRALLO_TEST_IO");
    return io && std::string_view(io) == "epoll" ? net::Streams::Backend::epoll
                                                 : net::Streams::Backend::automatic;
}

/// A relay server on a thread of the test, listening on a free loopback port; its log lines are
/// kept for the assertions.
class ServerThread {
  public:
    explicit ServerThread(Options options, std::string config = std::string(builtinConfig),
                          std::size_t maxPendingOutput = Server::defaultMaxPendingOutput) {
        options.port = 0;
        options.bind = "127.0.0.1";
        options.io = testBackend();
        auto keep = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        };
        server_ = std::make_unique<Server>(options, std::move(config), keep, maxPendingOutput);
        thread_ = std::thread([this] { server_->run(); });
    }
    ~ServerThread() {
        server_->stop();
        thread_.join();
    }

    std::uint16_t port() const { return server_->port(); }

    std::vector<std::string> log() {
        std::lock_guard lock(mutex_);
        return log_;
    }

    /// Waits (bounded) until a log line contains `text`.
    bool waitForLog(const std::string& text) {
        auto until = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < until) {
            for (const auto& line : log())
                if (line.find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::unique_ptr<Server> server_;
    std::thread thread_;
};

}  // namespace brallo::relay::test
