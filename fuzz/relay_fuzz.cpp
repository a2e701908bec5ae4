// Fuzz target for the relay's match logic: the input is a script of connections, bytes from
// clients, disconnections and passing time, played against the relay core from memory. Checks
// that the relay frees every connection it closes and says nothing more to it afterwards.
// Built only by the fuzz build (fuzz/run).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "brallo/net/frame.h"
#include "relay/options.h"
#include "relay/relay.h"

namespace {

using brallo::relay::ClientId;
using brallo::relay::Clock;

void require(bool holds) {
    if (!holds) std::abort();
}

/// Reads the script: one operation byte, then its arguments. Past the end every byte is 0.
class Script {
  public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string_view bytes(std::size_t n) {
        n = std::min(n, size_ - std::min(at_, size_));
        std::string_view out(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return out;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Well-formed messages, so that short scripts reach the ticks.
constexpr std::string_view wellFormed[] = {"count?", "me?", "seed?", "config?", "ok",
                                           "___",    "jls", "c_s",   "GoOn",    ""};

class Harness {
  public:
    explicit Harness(std::int32_t players)
        : relay_({players, 7, std::string(brallo::relay::builtinConfig),
                  std::chrono::milliseconds(16), std::chrono::milliseconds(1000), ""},
                 [](const std::string&) {}) {}

    void run(Script& script) {
        while (!script.done()) {
            switch (script.byte() % 6) {
                case 0:
                    if (live_.size() < 64) {
                        ClientId id = relay_.connect(now_);
                        ever_.push_back(id);
                        live_.insert(id);
                    }
                    break;
                case 1: {
                    ClientId id = pick(script.byte());
                    std::size_t n = script.byte();
                    relay_.receive(id, script.bytes(n), now_);
                    break;
                }
                case 2: {
                    ClientId id = pick(script.byte());
                    std::string framed;
                    brallo::net::appendFrame(framed,
                                             wellFormed[script.byte() % std::size(wellFormed)]);
                    relay_.receive(id, framed, now_);
                    break;
                }
                case 3:
                    relay_.drop(pick(script.byte()), "disconnected", now_);
                    break;
                case 4:
                    now_ += std::chrono::milliseconds(script.byte());
                    relay_.advance(now_);
                    break;
                case 5:
                    now_ += std::chrono::milliseconds(1001);
                    relay_.advance(now_);
                    break;
            }
            check();
        }
        // Once every client is gone nothing may be left: no match, no client, no timer.
        for (ClientId id : std::set<ClientId>(live_)) relay_.drop(id, "disconnected", now_);
        check();
        require(relay_.clientCount() == 0);
        require(relay_.matchCount() == 0);
        require(!relay_.nextDeadline());
    }

  private:
    ClientId pick(std::uint8_t b) { return ever_.empty() ? 0 : ever_[b % ever_.size()]; }

    void check() {
        for (const auto& out : relay_.takeOutgoing()) {
            require(live_.count(out.client) == 1);  // nothing to a client after its close
            brallo::net::FrameDecoder frames;
            frames.feed(out.bytes);
            while (frames.next()) {
            }
            require(frames.buffered() == 0);  // whole messages only
            if (out.close) live_.erase(out.client);
        }
        require(relay_.clientCount() == live_.size());
    }

    brallo::relay::Relay relay_;
    Clock::time_point now_{};
    std::vector<ClientId> ever_;
    std::set<ClientId> live_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script script(data, size);
    Harness harness(1 + script.byte() % 4);
    harness.run(script);
    return 0;
}
