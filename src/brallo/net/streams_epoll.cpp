// The epoll back end of Streams: non-blocking sockets, level-triggered readiness, one recv per
// readable stream and a send as soon as a stream has output and room.
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "streams_common.h"

namespace brallo::net {

namespace {

constexpr std::uint64_t listenKey = std::uint64_t{1} << 62;
constexpr std::uint64_t watchBit = std::uint64_t{1} << 63;

class EpollStreams final : public Streams {
  public:
    EpollStreams() {
        epollFd_ = epoll_create1(EPOLL_CLOEXEC);
        if (epollFd_ < 0) throw systemError("epoll_create1");
    }
    ~EpollStreams() override {
        for (auto& [id, stream] : streams_) ::close(stream.fd);
        ::close(epollFd_);
    }

    const char* name() const override { return "epoll"; }

    void listen(int fd, StreamOptions options) override {
        listenFd_ = fd;
        listenOptions_ = options;
        control(EPOLL_CTL_ADD, fd, listenKey, EPOLLIN);
    }

    StreamId connect(const sockaddr* address, socklen_t length, StreamOptions options) override {
        int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) throw systemError("socket");
        applyOptions(fd, options);
        StreamId id = nextId_++;
        Stream& stream = streams_[id];
        stream.fd = fd;
        stream.connecting = true;
        stream.stamped = options.receiveTimestamps;
        if (::connect(fd, address, length) != 0 && errno != EINPROGRESS) {
            failed_.push_back({id, errno});
            return id;
        }
        // Writable means connected or failed; SO_ERROR tells which.
        control(EPOLL_CTL_ADD, fd, id, EPOLLOUT);
        return id;
    }

    void watch(int fd, std::uint64_t token) override {
        control(EPOLL_CTL_ADD, fd, watchBit | token, EPOLLIN);
        watchedFds_[token] = fd;
    }

    void send(StreamId id, std::string_view bytes) override {
        auto it = streams_.find(id);
        if (it == streams_.end() || bytes.empty()) return;
        Stream& stream = it->second;
        bool wasIdle = stream.output.empty();
        stream.output.append(bytes);
        // Written at once when the socket has room: whatever the caller hands over in one
        // call leaves in one send.
        if (wasIdle && !stream.connecting) {
            if (int error = flush(id, stream)) fail(id, error);
        }
    }

    std::size_t unsent(StreamId id) const override {
        auto it = streams_.find(id);
        return it == streams_.end() ? 0 : it->second.output.size() - it->second.written;
    }

    void close(StreamId id) override {
        auto it = streams_.find(id);
        if (it == streams_.end()) return;
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
        ::close(it->second.fd);
        streams_.erase(it);
    }

    std::size_t size() const override { return streams_.size(); }

    void poll(std::optional<std::chrono::nanoseconds> timeout, StreamHandler& handler) override {
        reportFailures(handler);
        // A bounded batch, so that the caller's timers come round often.
        epoll_event events[256];
        int count = wait(events, 256, failed_.empty() ? timeout : std::chrono::nanoseconds(0));
        if (count < 0) {
            if (errno == EINTR) return;  // the caller looks at its flags and polls again
            throw systemError("epoll_wait");
        }
        for (int i = 0; i < count; ++i) {
            std::uint64_t key = events[i].data.u64;
            if (key & watchBit) {
                fireWatch(key & ~watchBit, handler);
            } else if (key == listenKey) {
                acceptAll(handler);
            } else {
                serve(key, events[i].events, handler);
            }
        }
    }

  private:
    struct Stream {
        int fd = -1;
        bool connecting = false;
        bool wantsWrite = false;  ///< EPOLLOUT is armed
        bool stamped = false;     ///< receives carry the kernel's arrival time
        std::string output;
        std::size_t written = 0;  ///< bytes of `output` already sent
    };

    void control(int op, int fd, std::uint64_t key, std::uint32_t events) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = key;
        if (epoll_ctl(epollFd_, op, fd, &event) != 0) throw systemError("epoll_ctl");
    }

    // A watched descriptor fired: it is reported once, so it leaves the set.
    void fireWatch(std::uint64_t token, StreamHandler& handler) {
        auto it = watchedFds_.find(token);
        if (it != watchedFds_.end()) {
            epoll_ctl(epollFd_, EPOLL_CTL_DEL, it->second, nullptr);
            watchedFds_.erase(it);
        }
        handler.ready(token);
    }

    int wait(epoll_event* events, int capacity, std::optional<std::chrono::nanoseconds> timeout) {
        if (!coarseWait_) {
            timespec span = toTimespec(timeout.value_or(std::chrono::nanoseconds(0)));
            int count =
                epoll_pwait2(epollFd_, events, capacity, timeout ? &span : nullptr, nullptr);
            if (count >= 0 || errno != ENOSYS) return count;
            coarseWait_ = true;  // a kernel before 5.11: whole milliseconds only
        }
        int ms = -1;
        if (timeout)
            ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*timeout).count());
        return epoll_wait(epollFd_, events, capacity, ms);
    }

    void acceptAll(StreamHandler& handler) {
        acceptWaiting(listenFd_, SOCK_NONBLOCK | SOCK_CLOEXEC, listenOptions_, handler,
                      [this](int fd) {
                          StreamId id = nextId_++;
                          streams_[id].fd = fd;
                          streams_[id].stamped = listenOptions_.receiveTimestamps;
                          control(EPOLL_CTL_ADD, fd, id, EPOLLIN | EPOLLRDHUP);
                          return id;
                      });
    }

    void serve(StreamId id, std::uint32_t events, StreamHandler& handler) {
        auto it = streams_.find(id);
        if (it == streams_.end()) return;
        Stream& stream = it->second;
        if (stream.connecting) {
            finishConnect(id, stream, handler);
            return;
        }
        if (events & EPOLLOUT) {
            if (int error = flush(id, stream)) {
                end(id, error, handler);
                return;
            }
        }
        if (events & (EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP)) receive(id, handler);
    }

    void finishConnect(StreamId id, Stream& stream, StreamHandler& handler) {
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(stream.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error != 0) {
            end(id, error, handler);
            return;
        }
        stream.connecting = false;
        stream.wantsWrite = false;
        control(EPOLL_CTL_MOD, stream.fd, id, EPOLLIN | EPOLLRDHUP);
        if (int flushError = flush(id, stream)) {
            end(id, flushError, handler);
            return;
        }
        handler.connected(id);
    }

    void receive(StreamId id, StreamHandler& handler) {
        // Bounded so one busy stream cannot starve the others; level-triggered epoll comes back.
        for (int rounds = 0; rounds < 4; ++rounds) {
            auto it = streams_.find(id);
            if (it == streams_.end()) return;
            iovec chunk{buffer_, sizeof buffer_};
            alignas(cmsghdr) char control[arrivalControlSize];
            msghdr message{};
            message.msg_iov = &chunk;
            message.msg_iovlen = 1;
            if (it->second.stamped) {
                message.msg_control = control;
                message.msg_controllen = sizeof control;
            }
            ssize_t n = recvmsg(it->second.fd, &message, 0);
            if (n > 0) {
                std::optional<std::chrono::system_clock::time_point> arrival;
                if (it->second.stamped) arrival = arrivalOf(message);
                handler.receivedAt(id, std::string_view(buffer_, static_cast<std::size_t>(n)),
                                   arrival);
                // A short read emptied the socket: another recv would only say EAGAIN.
                if (static_cast<std::size_t>(n) < sizeof buffer_) return;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            end(id, n == 0 ? 0 : errno, handler);
            return;
        }
    }

    // Sends what the socket takes; returns 0 or the errno of a failed send.
    int flush(StreamId id, Stream& stream) {
        while (stream.written < stream.output.size()) {
            ssize_t n = ::send(stream.fd, stream.output.data() + stream.written,
                               stream.output.size() - stream.written, MSG_NOSIGNAL);
            if (n > 0) {
                stream.written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            return n < 0 ? errno : EPIPE;
        }
        if (stream.written == stream.output.size()) {
            stream.output.clear();
            stream.written = 0;
        }
        // Rearmed only on a change: a system call per message would cost as much as the send.
        bool wantsWrite = !stream.output.empty();
        if (wantsWrite != stream.wantsWrite) {
            control(EPOLL_CTL_MOD, stream.fd, id,
                    EPOLLIN | EPOLLRDHUP | (wantsWrite ? EPOLLOUT : 0u));
            stream.wantsWrite = wantsWrite;
        }
        return 0;
    }

    // A failure found outside poll: the stream closes now and is reported from the next poll.
    void fail(StreamId id, int error) {
        close(id);
        failed_.push_back({id, error});
    }

    void reportFailures(StreamHandler& handler) {
        auto failures = std::move(failed_);
        failed_.clear();
        for (auto [id, error] : failures) {
            close(id);
            handler.closed(id, error);
        }
    }

    void end(StreamId id, int error, StreamHandler& handler) {
        close(id);
        handler.closed(id, error);
    }

    int epollFd_ = -1;
    int listenFd_ = -1;
    StreamOptions listenOptions_;
    std::map<StreamId, Stream> streams_;
    std::map<std::uint64_t, int> watchedFds_;
    std::vector<std::pair<StreamId, int>> failed_;
    StreamId nextId_ = 1;
    bool coarseWait_ = false;
    char buffer_[65536];
};

}  // namespace

std::unique_ptr<Streams> makeEpollStreams() {
    return std::make_unique<EpollStreams>();
}

}  // namespace brallo::net
