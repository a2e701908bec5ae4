// What both back ends of Streams share: socket options, errors, time conversion and the
// factories the back ends provide.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "streams.h"

namespace brallo::net {

inline std::runtime_error systemError(const std::string& what, int error = errno) {
    return std::runtime_error(what + ": " + std::strerror(error));
}

inline void applyOptions(int fd, const StreamOptions& options) {
    int one = 1;
    if (options.noDelay) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (options.sendBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &options.sendBuffer, sizeof options.sendBuffer);
    if (options.receiveTimestamps) setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
}

/// The kernel's receive time from a recvmsg's control data (SO_TIMESTAMPNS), if it is there.
inline std::optional<std::chrono::system_clock::time_point> arrivalOf(msghdr& message) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        return std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
    }
    return std::nullopt;
}

/// Room for the control data of one receive time.
inline constexpr std::size_t arrivalControlSize = CMSG_SPACE(sizeof(timespec));

/// Accepts every client waiting on the non-blocking `listenFd` with accept4 `flags`, applies
/// `options` and hands each descriptor to `adopt`, which makes it a stream and returns its id
/// for `handler.accepted`. A failure other than "none waiting" goes to `handler.acceptFailed`,
/// which may free a descriptor; the listening socket's next readiness brings the client back.
template <typename Adopt>
void acceptWaiting(int listenFd, int flags, const StreamOptions& options, StreamHandler& handler,
                   Adopt adopt) {
    while (true) {
        int fd = accept4(listenFd, nullptr, nullptr, flags);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) handler.acceptFailed(errno);
            return;
        }
        applyOptions(fd, options);
        handler.accepted(adopt(fd));
    }
}

inline timespec toTimespec(std::chrono::nanoseconds span) {
    auto ns = std::max<std::int64_t>(span.count(), 0);
    timespec converted{};
    converted.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    converted.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return converted;
}

std::unique_ptr<Streams> makeEpollStreams();
/// Throws std::runtime_error when the kernel has no usable io_uring.
std::unique_ptr<Streams> makeRingStreams();

}  // namespace brallo::net
