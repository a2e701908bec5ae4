// The relay's event loop: Streams reports accepted clients, bytes and closes to the core, the
// core's output goes back out through Streams, and the loop sleeps until the core's next
// deadline.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace brallo::relay {

namespace {

constexpr std::uint64_t wakeToken = 1;
constexpr std::uint64_t stopToken = 2;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Server::Server(const Options& options, std::string config, Relay::Log log,
               std::size_t maxPendingOutput)
    : log_(std::move(log)),
      relay_(RelaySettings{options.players, options.seed, std::move(config), options.tick,
                           options.timeout, options.recordDir},
             log_),
      maxPendingOutput_(maxPendingOutput) {
    try {
        streams_ = net::Streams::create(options.io);
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

        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0) throw systemError("eventfd");
        // A fixed kernel buffer instead of one that grows to megabytes: relay traffic is small,
        // and a client that stops reading then meets the output cap soon.
        streams_->listen(listenFd_, net::StreamOptions{true, 64 << 10});
        streams_->watch(wakeFd_, wakeToken);
        spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    } catch (...) {
        streams_.reset();
        for (int fd : {listenFd_, wakeFd_})
            if (fd >= 0) close(fd);
        throw;
    }
    log_("listening on " + options.bind + " port " + std::to_string(port_) + " (players " +
         std::to_string(options.players) + ", tick " + std::to_string(options.tick.count()) +
         " ms, timeout " + std::to_string(options.timeout.count()) + " ms, " + streams_->name() +
         ")");
}

Server::~Server() {
    streams_.reset();  // closes every connection before the descriptors it watches go
    for (int fd : {listenFd_, wakeFd_, spareFd_})
        if (fd >= 0) close(fd);
}

void Server::stop() {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(wakeFd_, &one, sizeof one);
}

void Server::run(int stopFd) {
    // The default slack of 50 microseconds would make every tick that much later.
    prctl(PR_SET_TIMERSLACK, 1UL);
    if (stopFd >= 0) streams_->watch(stopFd, stopToken);
    while (!stopping_) {
        // The deadline is kept to the nanosecond: rounding it up to whole milliseconds made
        // every tick up to a millisecond late, and lateness adds up, since each tick is paced
        // from the one before.
        std::optional<std::chrono::nanoseconds> left;
        if (auto deadline = relay_.nextDeadline()) {
            left = std::clamp<std::chrono::nanoseconds>(*deadline - Clock::now(),
                                                        std::chrono::nanoseconds::zero(),
                                                        std::chrono::seconds(60));
        }
        streams_->poll(left, *this);
        auto now = Clock::now();
        relay_.advance(now);
        pump(now);
    }
    log_("shutting down");
    relay_.shutdown();
    pump(Clock::now());
}

void Server::accepted(net::StreamId stream) {
    auto now = Clock::now();
    ClientId id = relay_.connect(now);
    clientOf_[stream] = id;
    streamOf_[id] = stream;
    pump(now);
}

void Server::acceptFailed(int error) {
    if ((error == EMFILE || error == ENFILE) && spareFd_ >= 0) {
        // Out of descriptors: take the waiting client with the spare one and close it, instead
        // of leaving it queued and waking up for it forever.
        log_("out of file descriptors, refusing a client");
        close(spareFd_);
        int shed = accept(listenFd_, nullptr, nullptr);
        if (shed >= 0) close(shed);
        spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
        return;
    }
    log_(std::string("accept failed: ") + std::strerror(error));
}

void Server::received(net::StreamId stream, std::string_view bytes) {
    auto it = clientOf_.find(stream);
    if (it == clientOf_.end()) return;
    auto now = Clock::now();
    relay_.receive(it->second, bytes, now);
    pump(now);
}

void Server::closed(net::StreamId stream, int error) {
    auto it = clientOf_.find(stream);
    if (it == clientOf_.end()) return;
    ClientId id = it->second;
    clientOf_.erase(it);
    streamOf_.erase(id);
    auto now = Clock::now();
    relay_.drop(
        id, error == 0 ? "disconnected" : std::string("connection error: ") + std::strerror(error),
        now);
    pump(now);
}

void Server::ready(std::uint64_t) {
    stopping_ = true;
}

// Carries out the core's output; dropping a client that does not read can make more output, so
// this loops until the core has nothing left.
void Server::pump(Clock::time_point now) {
    while (true) {
        relay_.takeOutgoing(outgoing_);
        if (outgoing_.empty()) return;
        overflowing_.clear();
        for (auto& out : outgoing_) {
            if (out.close) {
                closeConnection(out.client);
                continue;
            }
            auto it = streamOf_.find(out.client);
            if (it == streamOf_.end()) continue;
            // The messages of a tick come as one piece and leave in one send.
            streams_->send(it->second, out.bytes);
            if (streams_->unsent(it->second) > maxPendingOutput_)
                overflowing_.push_back(out.client);
        }
        for (ClientId id : overflowing_)
            relay_.drop(
                id, "more than " + std::to_string(maxPendingOutput_) + " bytes of output not read",
                now);
    }
}

void Server::closeConnection(ClientId id) {
    auto it = streamOf_.find(id);
    if (it == streamOf_.end()) return;
    streams_->close(it->second);
    clientOf_.erase(it->second);
    streamOf_.erase(it);
}

}  // namespace brallo::relay
