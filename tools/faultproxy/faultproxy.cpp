// The proxy's poll loop: per connection two directions, each a queue of timed pieces that are
// written in order once due. One thread; the public cut and stop requests wake it through an
// eventfd.
#include "faultproxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <random>
#include <stdexcept>
#include <vector>

namespace brallo::faultproxy {

namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void setNoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

struct Piece {
    Clock::time_point due;
    std::string bytes;
};

/// One direction of a connection: bytes read from `from` wait in `queue` until due, then go to
/// `to`.
struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Piece> queue;
    Clock::time_point lastDue{};
    bool sourceEnded = false;
};

struct Connection {
    int client = -1;
    int server = -1;
    Clock::time_point opened;
    std::uint64_t passed = 0;  ///< bytes queued in both directions together
    Direction up, down;        ///< client to server, server to client
    bool cut = false;          ///< ends now, whatever is queued
    bool done = false;         ///< ended in an orderly way
};

}  // namespace

struct FaultProxy::State {
    std::string upstreamHost;
    std::uint16_t upstreamPort = 0;
    Faults faults;
    std::mt19937 jitter;
    int listenFd = -1;
    int wakeFd = -1;
    std::uint16_t port = 0;
    std::list<Connection> connections;
    std::atomic<bool> stopping{false};
    std::atomic<bool> cutRequested{false};
    std::atomic<std::uint64_t> accepted{0};
    std::atomic<std::uint64_t> cuts{0};

    void wake() {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = write(wakeFd, &one, sizeof one);
    }

    void acceptOne() {
        int client = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) return;
        int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(upstreamPort);
        inet_pton(AF_INET, upstreamHost.c_str(), &address.sin_addr);
        if (server < 0 ||
            ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (server >= 0) close(server);
            close(client);
            return;
        }
        fcntl(server, F_SETFL, fcntl(server, F_GETFL) | O_NONBLOCK);
        setNoDelay(client);
        setNoDelay(server);
        Connection& c = connections.emplace_back();
        c.client = client;
        c.server = server;
        c.opened = Clock::now();
        c.up.from = client;
        c.up.to = server;
        c.down.from = server;
        c.down.to = client;
        ++accepted;
    }

    void enqueue(Connection& c, Direction& d, std::string_view bytes, Clock::time_point now) {
        if (faults.cutAfterBytes) {
            std::uint64_t room = *faults.cutAfterBytes - std::min(c.passed, *faults.cutAfterBytes);
            if (bytes.size() >= room) {
                bytes = bytes.substr(0, room);
                c.cut = true;  // after the bytes that still fit have been written
            }
        }
        c.passed += bytes.size();
        auto spread = faults.jitter.count() > 0
                          ? std::chrono::milliseconds(std::uniform_int_distribution<long>(
                                0, faults.jitter.count())(jitter))
                          : std::chrono::milliseconds(0);
        Clock::time_point due = std::max(d.lastDue, now + faults.delay + spread);
        if (faults.singleBytes) {
            for (char byte : bytes) {
                d.queue.push_back({due, std::string(1, byte)});
                d.lastDue = due;
                due += faults.byteGap;
            }
        } else if (!bytes.empty()) {
            d.queue.push_back({due, std::string(bytes)});
            d.lastDue = due;
        }
    }

    void readFrom(Connection& c, Direction& d, Clock::time_point now) {
        char buffer[65536];
        ssize_t n = recv(d.from, buffer, sizeof buffer, 0);
        if (n > 0) {
            enqueue(c, d, std::string_view(buffer, static_cast<std::size_t>(n)), now);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            d.sourceEnded = true;
        }
    }

    /// Writes the pieces that are due; false when the destination is gone.
    bool flush(Direction& d, Clock::time_point now) {
        while (!d.queue.empty() && d.queue.front().due <= now) {
            Piece& piece = d.queue.front();
            ssize_t n = send(d.to, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL);
            if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            piece.bytes.erase(0, static_cast<std::size_t>(n));
            if (!piece.bytes.empty()) return true;
            d.queue.pop_front();
        }
        return true;
    }

    void end(Connection& c) {
        close(c.client);
        close(c.server);
    }

    void run() {
        while (!stopping) {
            auto now = Clock::now();
            bool cutAllNow = cutRequested.exchange(false);
            for (auto it = connections.begin(); it != connections.end();) {
                Connection& c = *it;
                if (cutAllNow || (faults.cutAfter && now - c.opened >= *faults.cutAfter))
                    c.cut = true, c.up.queue.clear(), c.down.queue.clear();
                bool alive = flush(c.up, now) && flush(c.down, now);
                // A side that ended is passed on once what it sent has been delivered.
                bool drained = (c.up.sourceEnded && c.up.queue.empty()) ||
                               (c.down.sourceEnded && c.down.queue.empty());
                bool cutNow = c.cut && c.up.queue.empty() && c.down.queue.empty();
                if (!alive || drained || cutNow) {
                    if (c.cut) ++cuts;
                    end(c);
                    it = connections.erase(it);
                } else {
                    ++it;
                }
            }

            // Sources are read unless they ended or the connection is being cut; a queue whose
            // first piece is due and still there after flush() waits for room to write.
            std::vector<pollfd> fds = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            Clock::time_point next = Clock::time_point::max();
            for (Connection& c : connections) {
                for (Direction* d : {&c.up, &c.down}) {
                    if (!d->sourceEnded && !c.cut) fds.push_back({d->from, POLLIN, 0});
                    if (d->queue.empty()) continue;
                    if (d->queue.front().due <= now) {
                        fds.push_back({d->to, POLLOUT, 0});
                    } else {
                        next = std::min(next, d->queue.front().due);
                    }
                }
                if (faults.cutAfter) next = std::min(next, c.opened + *faults.cutAfter);
            }
            int timeout = -1;
            if (next != Clock::time_point::max()) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
                timeout = static_cast<int>(std::clamp<long>(left.count(), 0, 1000));
            }
            if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
                throw systemError("poll");
            now = Clock::now();
            if (fds[1].revents & POLLIN) {
                std::uint64_t count;
                [[maybe_unused]] auto n = read(wakeFd, &count, sizeof count);
            }
            if (fds[0].revents & POLLIN) acceptOne();
            for (Connection& c : connections) {
                for (Direction* d : {&c.up, &c.down}) {
                    for (const pollfd& p : fds) {
                        if (p.fd == d->from && (p.events & POLLIN) &&
                            (p.revents & (POLLIN | POLLHUP | POLLERR)))
                            readFrom(c, *d, now);
                    }
                }
            }
        }
        for (Connection& c : connections) end(c);
        connections.clear();
    }
};

FaultProxy::FaultProxy(std::string upstreamHost, std::uint16_t upstreamPort, Faults faults,
                       std::uint16_t listenPort)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.upstreamHost = std::move(upstreamHost);
    s.upstreamPort = upstreamPort;
    s.faults = faults;
    s.jitter.seed(faults.seed);
    sockaddr_in address{};
    if (inet_pton(AF_INET, s.upstreamHost.c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + s.upstreamHost);
    s.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s.listenFd < 0) throw systemError("socket");
    int one = 1;
    setsockopt(s.listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    address.sin_family = AF_INET;
    address.sin_port = htons(listenPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s.listenFd, 64) != 0) {
        close(s.listenFd);
        throw systemError("cannot listen on port " + std::to_string(listenPort));
    }
    socklen_t length = sizeof address;
    getsockname(s.listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    s.port = ntohs(address.sin_port);
    s.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (s.wakeFd < 0) {
        close(s.listenFd);
        throw systemError("eventfd");
    }
}

FaultProxy::~FaultProxy() {
    for (Connection& c : state_->connections) state_->end(c);
    close(state_->listenFd);
    close(state_->wakeFd);
}

std::uint16_t FaultProxy::port() const {
    return state_->port;
}

void FaultProxy::run() {
    state_->run();
}

void FaultProxy::stop() {
    state_->stopping = true;
    state_->wake();
}

void FaultProxy::cutAll() {
    state_->cutRequested = true;
    state_->wake();
}

std::uint64_t FaultProxy::connectionsAccepted() const {
    return state_->accepted;
}

std::uint64_t FaultProxy::connectionsCut() const {
    return state_->cuts;
}

}  // namespace brallo::faultproxy
