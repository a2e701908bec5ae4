// Framed messages over a blocking socket, with Nagle's delay off: every message is a few bytes
// that the relay waits for before the next tick.
#include "tcp_channel.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace brallo::bot {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

void onStopSignal(int) {
    stopFlag = 1;
}

std::string errorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

void installStopHandler() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns with EINTR
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A write to a closed connection must be an error, not the end of the process.
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() {
    return stopFlag != 0;
}

TcpChannel::TcpChannel(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        throw ConnectionError("Cannot resolve \"" + host + "\": " + gai_strerror(rc));
    }
    std::string lastError = "no address";
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0) {
            lastError = errorText("socket");
            continue;
        }
        int rc;
        do {
            rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        } while (rc != 0 && errno == EINTR && !stopRequested());
        if (rc != 0) {
            lastError = errorText("connect");
            ::close(fd);
            continue;
        }
        fd_ = fd;
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        throw ConnectionError("Cannot connect to " + host + ":" + service + ": " + lastError);
    }
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

TcpChannel::~TcpChannel() {
    close();
}

void TcpChannel::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TcpChannel::send(std::string_view text) {
    if (fd_ < 0) throw ConnectionError("Send on a closed connection");
    std::string bytes;
    net::appendFrame(bytes, text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;  // the message is finished even when a stop is pending
            if (errno == EPIPE || errno == ECONNRESET) {
                throw ConnectionClosed("The server closed the connection");
            }
            throw ConnectionError(errorText("Send to the server failed"));
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string_view TcpChannel::receive() {
    if (fd_ < 0) throw ConnectionError("Receive on a closed connection");
    for (;;) {
        if (auto message = decoder_.next()) {
            current_ = std::move(*message);
            return current_;
        }
        char buffer[4096];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n == 0) throw ConnectionClosed("The server closed the connection");
        if (errno == EINTR) {
            if (stopRequested()) throw StopRequested("Stopped by a signal");
            continue;
        }
        if (errno == ECONNRESET) throw ConnectionClosed("The server closed the connection");
        throw ConnectionError(errorText("Receive from the server failed"));
    }
}

}  // namespace brallo::bot
