// epoll loop of the relay: accepts, reads into the core, writes its output with per-client
// buffers (partial writes, EAGAIN), and wakes for the core's deadlines.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace brallo::relay {

namespace {

constexpr std::uint64_t listenKey = ~std::uint64_t{0};
constexpr std::uint64_t wakeKey = listenKey - 1;
constexpr std::uint64_t stopKey = listenKey - 2;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void watch(int epollFd, int fd, std::uint64_t key, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    if (epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &event) != 0) throw systemError("epoll_ctl");
}

}  // namespace

struct Server::Connection {
    int fd = -1;
    std::string output;
    std::size_t written = 0;  ///< bytes of `output` already sent
    bool wantsWrite = false;  ///< EPOLLOUT is armed
};

Server::Server(const Options& options, std::string config, Relay::Log log,
               std::size_t maxPendingOutput)
    : log_(std::move(log)),
      relay_(RelaySettings{options.players, options.seed, std::move(config), options.tick,
                           options.timeout, options.recordDir},
             log_),
      maxPendingOutput_(maxPendingOutput) {
    try {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(options.port);
        if (inet_pton(AF_INET, options.bind.c_str(), &address.sin_addr) != 1)
            throw std::runtime_error("--bind: \"" + options.bind + "\" is not an IPv4 address");
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (listenFd_ < 0) throw systemError("socket");
        int one = 1;
        setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw systemError("cannot listen on " + options.bind + " port " +
                              std::to_string(options.port));
        if (listen(listenFd_, 128) != 0) throw systemError("listen");
        socklen_t length = sizeof address;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);

        epollFd_ = epoll_create1(EPOLL_CLOEXEC);
        if (epollFd_ < 0) throw systemError("epoll_create1");
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0) throw systemError("eventfd");
        watch(epollFd_, listenFd_, listenKey, EPOLLIN);
        watch(epollFd_, wakeFd_, wakeKey, EPOLLIN);
        spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    } catch (...) {
        for (int fd : {listenFd_, epollFd_, wakeFd_})
            if (fd >= 0) close(fd);
        throw;
    }
    log_("listening on " + options.bind + " port " + std::to_string(port_) + " (players " +
         std::to_string(options.players) + ", tick " + std::to_string(options.tick.count()) +
         " ms, timeout " + std::to_string(options.timeout.count()) + " ms)");
}

Server::~Server() {
    for (auto& [id, connection] : connections_) close(connection.fd);
    for (int fd : {listenFd_, epollFd_, wakeFd_, spareFd_})
        if (fd >= 0) close(fd);
}

void Server::stop() {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(wakeFd_, &one, sizeof one);
}

void Server::run(int stopFd) {
    // The default slack of 50 microseconds would make every tick that much later.
    prctl(PR_SET_TIMERSLACK, 1UL);
    if (stopFd >= 0) watch(epollFd_, stopFd, stopKey, EPOLLIN);
    epoll_event events[256];
    bool stopping = false;
    while (!stopping) {
        int count = waitForEvents(events, 256);
        if (count < 0) {
            if (errno == EINTR) continue;
            throw systemError("epoll_wait");
        }
        auto now = Clock::now();
        for (int i = 0; i < count; ++i) {
            std::uint64_t key = events[i].data.u64;
            if (key == wakeKey || key == stopKey) {
                stopping = true;
            } else if (key == listenKey) {
                acceptAll(now);
            } else if (connections_.count(key)) {
                if (events[i].events & EPOLLOUT) flush(key);
                if (connections_.count(key) &&
                    (events[i].events & (EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP)))
                    readFrom(key, now);
            }
            pump(now);
        }
        relay_.advance(now);
        pump(now);
    }
    if (stopFd >= 0) epoll_ctl(epollFd_, EPOLL_CTL_DEL, stopFd, nullptr);
    log_("shutting down");
    relay_.shutdown();
    pump(Clock::now());
}

// Sleeps until an event or the core's next deadline. The deadline is kept to the microsecond:
// rounding it up to whole milliseconds made every tick up to a millisecond late, and lateness
// adds up, since each tick is paced from the one before.
int Server::waitForEvents(epoll_event* events, int capacity) {
    std::optional<Clock::duration> left;
    if (auto deadline = relay_.nextDeadline()) {
        left = std::clamp<Clock::duration>(*deadline - Clock::now(), Clock::duration::zero(),
                                           std::chrono::seconds(60));
    }
    if (!coarseWait_) {
        timespec timeout{};
        if (left) {
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        int count = epoll_pwait2(epollFd_, events, capacity, left ? &timeout : nullptr, nullptr);
        if (count >= 0 || errno != ENOSYS) return count;
        coarseWait_ = true;  // a kernel before 5.11
    }
    int wait = -1;
    if (left) wait = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*left).count());
    return epoll_wait(epollFd_, events, capacity, wait);
}

void Server::acceptAll(Clock::time_point now) {
    while (true) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if ((errno == EMFILE || errno == ENFILE) && spareFd_ >= 0) {
                // Out of descriptors: take the waiting client with the spare one and close it,
                // instead of leaving it queued and waking up for it forever.
                log_("out of file descriptors, refusing a client");
                close(spareFd_);
                int shed = accept(listenFd_, nullptr, nullptr);
                if (shed >= 0) close(shed);
                spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                log_(std::string("accept failed: ") + std::strerror(errno));
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // A fixed kernel buffer instead of one that grows to megabytes: relay traffic is small,
        // and a client that stops reading then meets the output cap soon.
        int sendBuffer = 64 << 10;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
        ClientId id = relay_.connect(now);
        connections_[id].fd = fd;
        watch(epollFd_, fd, id, EPOLLIN | EPOLLRDHUP);
        pump(now);
    }
}

void Server::readFrom(ClientId id, Clock::time_point now) {
    char buffer[65536];
    // Bounded so one busy client cannot starve the others; level-triggered epoll comes back.
    for (int rounds = 0; rounds < 4; ++rounds) {
        auto it = connections_.find(id);
        if (it == connections_.end()) return;
        ssize_t n = recv(it->second.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            relay_.receive(id, std::string_view(buffer, static_cast<std::size_t>(n)), now);
            pump(now);
            // A short read emptied the socket: another recv would only say EAGAIN, and a system
            // call is dear at two thousand clients times 62 ticks a second.
            if (static_cast<std::size_t>(n) < sizeof buffer) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        relay_.drop(
            id, n == 0 ? "disconnected" : std::string("connection error: ") + std::strerror(errno),
            now);
        pump(now);
        return;
    }
}

void Server::flush(ClientId id) {
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = it->second;
    while (c.written < c.output.size()) {
        ssize_t n =
            send(c.fd, c.output.data() + c.written, c.output.size() - c.written, MSG_NOSIGNAL);
        if (n > 0) {
            c.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // EAGAIN: wait for EPOLLOUT. Other errors: the read side reports the broken connection.
        break;
    }
    if (c.written == c.output.size()) {
        c.output.clear();
        c.written = 0;
    }
    bool wantsWrite = !c.output.empty();
    if (wantsWrite != c.wantsWrite) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP | (wantsWrite ? EPOLLOUT : 0u);
        event.data.u64 = id;
        epoll_ctl(epollFd_, EPOLL_CTL_MOD, c.fd, &event);
        c.wantsWrite = wantsWrite;
    }
}

// Carries out the core's output; dropping a client that does not read can make more output, so
// this loops until the core has nothing left.
void Server::pump(Clock::time_point now) {
    while (true) {
        auto outgoing = relay_.takeOutgoing();
        if (outgoing.empty()) return;
        std::vector<ClientId> overflowing;
        for (auto& out : outgoing) {
            if (out.close) {
                closeConnection(out.client);
                continue;
            }
            auto it = connections_.find(out.client);
            if (it == connections_.end()) continue;
            bool wasIdle = it->second.output.empty();
            it->second.output += out.bytes;
            // Written in one send when the socket has room: the messages of a tick travel
            // together.
            if (wasIdle) flush(out.client);
            it = connections_.find(out.client);
            if (it != connections_.end() &&
                it->second.output.size() - it->second.written > maxPendingOutput_)
                overflowing.push_back(out.client);
        }
        for (ClientId id : overflowing)
            relay_.drop(
                id, "more than " + std::to_string(maxPendingOutput_) + " bytes of output not read",
                now);
    }
}

void Server::closeConnection(ClientId id) {
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
    close(it->second.fd);
    connections_.erase(it);
}

}  // namespace brallo::relay
