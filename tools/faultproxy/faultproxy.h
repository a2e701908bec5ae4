// A TCP proxy that injects faults between clients and a server: delay, jitter (order kept),
// writes split into single bytes, and cut connections (after some bytes, after some time, or
// on demand). Used by the fault tests between the bots and the relay, and by the
// brallo-faultproxy program.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace brallo::faultproxy {

struct Faults {
    std::chrono::milliseconds delay{0};    ///< added to every piece, in both directions
    std::chrono::milliseconds jitter{0};   ///< a further 0 to jitter per piece; order is kept
    bool singleBytes = false;              ///< every byte goes out in a write of its own
    std::chrono::microseconds byteGap{0};  ///< pause between those single bytes
    /// Cut each connection once this many bytes (both directions together) have passed; the
    /// last piece is cut short, so the cut may fall inside a message.
    std::optional<std::uint64_t> cutAfterBytes;
    std::optional<std::chrono::milliseconds>
        cutAfter;            ///< cut each connection this long after it opened
    std::uint32_t seed = 1;  ///< of the jitter
};

class FaultProxy {
  public:
    /// Listens on 127.0.0.1 at `listenPort` (0: a free one); every client it accepts gets its
    /// own connection to `upstreamHost`:`upstreamPort` (an IPv4 address). Throws
    /// std::runtime_error when it cannot listen.
    FaultProxy(std::string upstreamHost, std::uint16_t upstreamPort, Faults faults,
               std::uint16_t listenPort = 0);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    std::uint16_t port() const;

    /// Serves until stop() is called (from any thread or a signal handler); then closes all.
    void run();
    void stop();
    /// Cuts every open connection at once, both sides; safe from any thread.
    void cutAll();

    std::uint64_t connectionsAccepted() const;
    std::uint64_t connectionsCut() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace brallo::faultproxy
