// Picks the back end of Streams.
#include "streams_common.h"

namespace brallo::net {

std::unique_ptr<Streams> Streams::create(Backend backend) {
    switch (backend) {
        case Backend::ring:
            return makeRingStreams();
        case Backend::epoll:
            return makeEpollStreams();
        case Backend::automatic:
            break;
    }
    // io_uring may be missing, switched off (kernel.io_uring_disabled) or forbidden by a
    // container's system call filter; epoll is everywhere.
    try {
        return makeRingStreams();
    } catch (const std::runtime_error&) {
        return makeEpollStreams();
    }
}

}  // namespace brallo::net
