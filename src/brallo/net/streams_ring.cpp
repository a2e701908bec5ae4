// The io_uring back end of Streams. Every stream keeps one receive in flight and at most one
// send; bytes queued while a send is in flight wait for it, so the order holds. A poll hands
// all new requests to the kernel and waits in a single system call, which matters where a
// system call costs a microsecond: at two thousand streams sixty times a second, epoll needs
// three calls per stream and tick.
//
// Stream sockets are blocking: io_uring reports EAGAIN for non-blocking ones instead of
// waiting for them itself. The listening socket stays non-blocking and is accepted from
// directly when a poll request says it is readable.
#include <fcntl.h>
#include <liburing.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "streams_common.h"

namespace brallo::net {

namespace {

// The low bits of a request's user data say what it was; the rest is the stream id or token.
enum class Op : std::uint64_t { receive, send, connect, listen, watch, ignored };
constexpr int opBits = 3;

constexpr std::uint64_t userData(std::uint64_t id, Op op) {
    return id << opBits | static_cast<std::uint64_t>(op);
}

constexpr unsigned queueDepth = 4096;
// Completions wait here between polls; two per stream at most, so this is room for 8,000 streams
// before the kernel has to keep completions on its overflow list.
constexpr unsigned completionDepth = 16384;
constexpr std::size_t receiveBuffer = 4096;
constexpr unsigned completionBatch = 64;  ///< completions reported by one poll at most

class RingStreams final : public Streams {
  public:
    RingStreams() {
        io_uring_params params{};
        params.flags = IORING_SETUP_CQSIZE | IORING_SETUP_COOP_TASKRUN;
        params.cq_entries = completionDepth;
        int rc = io_uring_queue_init_params(queueDepth, &ring_, &params);
        if (rc == -EINVAL) {  // a kernel before 5.19 has no cooperative task running
            params = {};
            params.flags = IORING_SETUP_CQSIZE;
            params.cq_entries = completionDepth;
            rc = io_uring_queue_init_params(queueDepth, &ring_, &params);
        }
        if (rc < 0) throw systemError("io_uring_setup", -rc);
        if (!(params.features & IORING_FEAT_NODROP) || !supportsOperations()) {
            io_uring_queue_exit(&ring_);
            throw std::runtime_error("io_uring: this kernel lacks operations the streams need");
        }
    }

    // The kernel may still hold receive and send buffers: everything is cancelled and its
    // completions awaited (a second at most) before the buffers go.
    ~RingStreams() override {
        struct Ignore final : StreamHandler {
            void received(StreamId, std::string_view) override {}
            void closed(StreamId, int) override {}
        } ignore;
        try {
            for (auto it = streams_.begin(); it != streams_.end();) {
                auto next = std::next(it);
                if (!it->second.closing) beginClose(it);
                it = next;
            }
            for (int round = 0; round < 100 && !streams_.empty(); ++round) {
                __kernel_timespec wait{0, 10'000'000};
                io_uring_cqe* first = nullptr;
                io_uring_submit_and_wait_timeout(&ring_, &first, 1, &wait, nullptr);
                drainCompletions(ignore);
            }
        } catch (const std::exception&) {
            // Nothing more can be done for them; the ring's exit cancels the rest.
        }
        io_uring_queue_exit(&ring_);
        for (auto& [id, stream] : streams_) ::close(stream.fd);
    }

    const char* name() const override { return "io_uring"; }

    void listen(int fd, StreamOptions options) override {
        listenFd_ = fd;
        listenOptions_ = options;
        armPoll(fd, userData(0, Op::listen));
    }

    StreamId connect(const sockaddr* address, socklen_t length, StreamOptions options) override {
        int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) throw systemError("socket");
        applyOptions(fd, options);
        StreamId id = nextId_++;
        Stream& stream = addStream(id, fd, options);
        stream.connecting = true;
        if (::connect(fd, address, length) != 0 && errno != EINPROGRESS) {
            failed_.push_back({id, errno});
            return id;
        }
        io_uring_sqe* sqe = nextRequest();
        io_uring_prep_poll_add(sqe, fd, POLLOUT);
        io_uring_sqe_set_data64(sqe, userData(id, Op::connect));
        ++stream.inFlight;
        return id;
    }

    void watch(int fd, std::uint64_t token) override { armPoll(fd, userData(token, Op::watch)); }

    void send(StreamId id, std::string_view bytes) override {
        auto it = streams_.find(id);
        if (it == streams_.end() || it->second.closing || bytes.empty()) return;
        Stream& stream = it->second;
        if (stream.sending || stream.connecting) {
            stream.queued.append(bytes);
            return;
        }
        stream.output.assign(bytes);
        stream.sent = 0;
        armSend(id, stream);
    }

    std::size_t unsent(StreamId id) const override {
        auto it = streams_.find(id);
        if (it == streams_.end() || it->second.closing) return 0;
        const Stream& stream = it->second;
        return stream.output.size() - stream.sent + stream.queued.size();
    }

    void close(StreamId id) override {
        auto it = streams_.find(id);
        if (it == streams_.end() || it->second.closing) return;
        beginClose(it);
    }

    std::size_t size() const override { return open_; }

    void poll(std::optional<std::chrono::nanoseconds> timeout, StreamHandler& handler) override {
        reportFailures(handler);
        if (!failed_.empty() || (timeout && timeout->count() <= 0)) {
            // Enters the kernel even with nothing to submit, so that finished receives and
            // sends are turned into completions.
            int rc = io_uring_submit_and_get_events(&ring_);
            if (rc < 0 && rc != -EINTR && rc != -EBUSY) throw systemError("io_uring_submit", -rc);
        } else {
            io_uring_cqe* first = nullptr;
            int rc;
            if (timeout) {
                timespec span = toTimespec(*timeout);
                __kernel_timespec wait{};
                wait.tv_sec = span.tv_sec;
                wait.tv_nsec = span.tv_nsec;
                rc = io_uring_submit_and_wait_timeout(&ring_, &first, 1, &wait, nullptr);
            } else {
                rc = io_uring_submit_and_wait(&ring_, 1);
            }
            if (rc < 0 && rc != -ETIME && rc != -EBUSY && rc != -EINTR)
                throw systemError("io_uring_enter", -rc);
        }
        drainCompletions(handler);
    }

  private:
    // What a receive with the kernel's arrival time needs; the kernel holds it while in flight.
    struct Stamp {
        iovec chunk{};
        msghdr message{};
        alignas(cmsghdr) char control[arrivalControlSize];
    };
    struct Stream {
        int fd = -1;
        int inFlight = 0;  ///< requests the kernel still holds (they use `input` and `output`)
        bool connecting = false;
        bool receiving = false;
        bool sending = false;
        bool closing = false;  ///< closed for the caller; freed when nothing is in flight
        std::unique_ptr<char[]> input{new char[receiveBuffer]};
        std::string output;  ///< the bytes of the send in flight; stable until it completes
        std::size_t sent = 0;
        std::string queued;            ///< handed over while a send was in flight
        std::unique_ptr<Stamp> stamp;  ///< the recvmsg header, when arrival times are asked for
    };
    using Iterator = std::map<StreamId, Stream>::iterator;

    bool supportsOperations() {
        std::unique_ptr<io_uring_probe, void (*)(io_uring_probe*)> probe(
            io_uring_get_probe_ring(&ring_), io_uring_free_probe);
        if (!probe) return false;
        for (int op : {IORING_OP_SEND, IORING_OP_RECV, IORING_OP_POLL_ADD, IORING_OP_ASYNC_CANCEL})
            if (!io_uring_opcode_supported(probe.get(), op)) return false;
        return true;
    }

    // A free request slot; when every slot is taken, what is queued goes to the kernel first.
    io_uring_sqe* nextRequest() {
        io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
        if (!sqe) {
            io_uring_submit(&ring_);
            sqe = io_uring_get_sqe(&ring_);
        }
        if (!sqe) throw std::runtime_error("io_uring: no free request slot");
        return sqe;
    }

    Stream& addStream(StreamId id, int fd, const StreamOptions& options) {
        Stream& stream = streams_[id];
        stream.fd = fd;
        if (options.receiveTimestamps) {
            stream.stamp = std::make_unique<Stamp>();
            stream.stamp->chunk = {stream.input.get(), receiveBuffer};
            stream.stamp->message.msg_iov = &stream.stamp->chunk;
            stream.stamp->message.msg_iovlen = 1;
            stream.stamp->message.msg_control = stream.stamp->control;
        }
        ++open_;
        return stream;
    }

    void armPoll(int fd, std::uint64_t data) {
        io_uring_sqe* sqe = nextRequest();
        io_uring_prep_poll_add(sqe, fd, POLLIN);
        io_uring_sqe_set_data64(sqe, data);
    }

    void armReceive(StreamId id, Stream& stream) {
        io_uring_sqe* sqe = nextRequest();
        if (stream.stamp) {
            stream.stamp->message.msg_controllen = sizeof stream.stamp->control;
            io_uring_prep_recvmsg(sqe, stream.fd, &stream.stamp->message, 0);
        } else {
            io_uring_prep_recv(sqe, stream.fd, stream.input.get(), receiveBuffer, 0);
        }
        io_uring_sqe_set_data64(sqe, userData(id, Op::receive));
        stream.receiving = true;
        ++stream.inFlight;
    }

    void armSend(StreamId id, Stream& stream) {
        io_uring_sqe* sqe = nextRequest();
        io_uring_prep_send(sqe, stream.fd, stream.output.data() + stream.sent,
                           stream.output.size() - stream.sent, MSG_NOSIGNAL);
        io_uring_sqe_set_data64(sqe, userData(id, Op::send));
        stream.sending = true;
        ++stream.inFlight;
    }

    void cancel(StreamId id, Op op) {
        io_uring_sqe* sqe = nextRequest();
        io_uring_prep_cancel64(sqe, userData(id, op), 0);
        io_uring_sqe_set_data64(sqe, userData(0, Op::ignored));
    }

    void beginClose(Iterator it) {
        Stream& stream = it->second;
        stream.closing = true;
        --open_;
        if (stream.receiving) cancel(it->first, Op::receive);
        if (stream.sending) cancel(it->first, Op::send);
        if (stream.connecting) cancel(it->first, Op::connect);
        releaseIfIdle(it);
    }

    void releaseIfIdle(Iterator it) {
        if (!it->second.closing || it->second.inFlight > 0) return;
        ::close(it->second.fd);
        streams_.erase(it);
    }

    void end(Iterator it, int error, StreamHandler& handler) {
        StreamId id = it->first;
        beginClose(it);
        handler.closed(id, error);
    }

    void reportFailures(StreamHandler& handler) {
        auto failures = std::move(failed_);
        failed_.clear();
        for (auto [id, error] : failures) {
            auto it = streams_.find(id);
            if (it == streams_.end() || it->second.closing) continue;
            end(it, error, handler);
        }
    }

    void drainCompletions(StreamHandler& handler) {
        // Copied out first: handling one may queue requests, and a full queue submits, which
        // can post more completions while these are read.
        // A bounded batch: the caller's timers are looked at between batches, and a tick that
        // waits behind a thousand completions is a late tick.
        io_uring_cqe* cqes[completionBatch];
        unsigned count = io_uring_peek_batch_cqe(&ring_, cqes, completionBatch);
        completions_.clear();
        for (unsigned i = 0; i < count; ++i)
            completions_.push_back({io_uring_cqe_get_data64(cqes[i]), cqes[i]->res});
        io_uring_cq_advance(&ring_, count);
        for (auto [data, result] : completions_) complete(data, result, handler);
    }

    void complete(std::uint64_t data, int result, StreamHandler& handler) {
        auto op = static_cast<Op>(data & ((1u << opBits) - 1));
        std::uint64_t id = data >> opBits;
        switch (op) {
            case Op::ignored:
                return;
            case Op::listen:
                acceptAll(handler);
                armPoll(listenFd_, userData(0, Op::listen));
                return;
            case Op::watch:
                handler.ready(id);
                return;
            default:
                break;
        }
        auto it = streams_.find(id);
        if (it == streams_.end()) return;
        if (op == Op::receive) {
            received(it, result, handler);
        } else if (op == Op::send) {
            sent(it, result, handler);
        } else {
            connected(it, result, handler);
        }
    }

    void acceptAll(StreamHandler& handler) {
        // Accepted sockets stay blocking (see the top of this file).
        acceptWaiting(listenFd_, SOCK_CLOEXEC, listenOptions_, handler, [this](int fd) {
            StreamId id = nextId_++;
            armReceive(id, addStream(id, fd, listenOptions_));
            return id;
        });
    }

    void received(Iterator it, int result, StreamHandler& handler) {
        StreamId id = it->first;
        Stream& stream = it->second;
        stream.receiving = false;
        if (stream.closing) {
            --stream.inFlight;
            releaseIfIdle(it);
            return;
        }
        if (result > 0) {
            // Still counted in flight during the call: a close from the handler must not free
            // the buffer the view points into.
            std::optional<std::chrono::system_clock::time_point> arrival;
            if (stream.stamp) arrival = arrivalOf(stream.stamp->message);
            handler.receivedAt(
                id, std::string_view(stream.input.get(), static_cast<std::size_t>(result)),
                arrival);
            --stream.inFlight;
            if (stream.closing) {
                releaseIfIdle(it);
            } else {
                armReceive(id, stream);
            }
            return;
        }
        --stream.inFlight;
        if (result == -EINTR || result == -EAGAIN) {
            armReceive(id, stream);
            return;
        }
        end(it, result == 0 ? 0 : -result, handler);
    }

    void sent(Iterator it, int result, StreamHandler& handler) {
        Stream& stream = it->second;
        stream.sending = false;
        --stream.inFlight;
        if (stream.closing) {
            releaseIfIdle(it);
            return;
        }
        if (result == -EINTR || result == -EAGAIN) {
            armSend(it->first, stream);
            return;
        }
        if (result <= 0) {
            end(it, result == 0 ? EPIPE : -result, handler);
            return;
        }
        stream.sent += static_cast<std::size_t>(result);
        if (stream.sent < stream.output.size()) {
            armSend(it->first, stream);
            return;
        }
        stream.output.swap(stream.queued);
        stream.queued.clear();
        stream.sent = 0;
        if (!stream.output.empty()) armSend(it->first, stream);
    }

    void connected(Iterator it, int result, StreamHandler& handler) {
        Stream& stream = it->second;
        stream.connecting = false;
        --stream.inFlight;
        if (stream.closing) {
            releaseIfIdle(it);
            return;
        }
        int error = result < 0 ? -result : 0;
        socklen_t length = sizeof error;
        if (error == 0 && getsockopt(stream.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        int flags = fcntl(stream.fd, F_GETFL);
        if (error == 0 && (flags < 0 || fcntl(stream.fd, F_SETFL, flags & ~O_NONBLOCK) != 0))
            error = errno;
        if (error != 0) {
            end(it, error, handler);
            return;
        }
        StreamId id = it->first;
        armReceive(id, stream);
        if (!stream.queued.empty()) {
            stream.output.swap(stream.queued);
            stream.queued.clear();
            stream.sent = 0;
            armSend(id, stream);
        }
        handler.connected(id);
    }

    io_uring ring_{};
    int listenFd_ = -1;
    StreamOptions listenOptions_;
    std::map<StreamId, Stream> streams_;
    std::size_t open_ = 0;
    std::vector<std::pair<StreamId, int>> failed_;
    std::vector<std::pair<std::uint64_t, int>> completions_;
    StreamId nextId_ = 1;
};

}  // namespace

std::unique_ptr<Streams> makeRingStreams() {
    return std::make_unique<RingStreams>();
}

}  // namespace brallo::net
