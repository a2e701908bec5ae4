#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace brallo::testing {

ScriptedServer::ScriptedServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 8) != 0) {
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

ScriptedServer::~ScriptedServer() {
    closeClient();
    if (listener_ >= 0) close(listener_);
}

bool ScriptedServer::accept(std::chrono::milliseconds limit) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client_ < 0) return false;
    int one = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

void ScriptedServer::sendRaw(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;  // the client is gone; the test sees it in its exit status
        done += static_cast<std::size_t>(n);
    }
}

void ScriptedServer::send(std::string_view text) {
    std::string frame;
    net::appendFrame(frame, text);
    sendRaw(frame);
}

std::optional<std::string> ScriptedServer::receive(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (auto msg = decoder_.next()) return msg;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || client_ < 0) return std::nullopt;
        pollfd p{client_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        ssize_t n = recv(client_, buf, sizeof buf, 0);
        if (n <= 0) return std::nullopt;
        decoder_.feed(std::string_view(buf, static_cast<std::size_t>(n)));
    }
}

bool ScriptedServer::serveSetup(std::string_view count, std::string_view me, std::string_view seed,
                                const std::vector<std::string>& configPieces) {
    if (receive() != "count?") return false;
    send(count);
    if (receive() != "me?") return false;
    send(me);
    if (receive() != "seed?") return false;
    send(seed);
    if (receive() != "config?") return false;
    for (const std::string& piece : configPieces) send(piece);
    send(".");
    return receive() == "ok";
}

void ScriptedServer::closeClient() {
    if (client_ >= 0) close(client_);
    client_ = -1;
}

}  // namespace brallo::testing
