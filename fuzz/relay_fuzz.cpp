// Fuzz target for the relay's match logic: the input is a script of connections, bytes from
// clients, disconnections and passing time, played against the relay core from memory. Checks
// that the relay frees every connection it closes and says nothing more to it afterwards.
// Built only by the fuzz build (fuzz/run), which caps inputs at mostScriptBytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// Every operation costs the relay a few log lines and allocations, so long scripts are slow
// (a kilobyte of connects took 13 ms under the sanitizers) and mostly repeat themselves: a
// match needs about 15 bytes per player to start and 3 per command, and the client caps keep
// every table small. Keep in step with -max_len in fuzz/run.
constexpr std::size_t mostScriptBytes = 512;
constexpr std::size_t mostLiveClients = 64;
constexpr std::size_t mostClientsEver = 128;

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
                    if (liveCount_ < mostLiveClients && ever_.size() < mostClientsEver) {
                        ClientId id = relay_.connect(now_);
                        require(id > 0 && id <= 2 * mostClientsEver);  // fresh ids count up
                        ever_.push_back(id);
                        if (live_.size() <= id) live_.resize(id + 1, false);
                        live_[id] = true;
                        ++liveCount_;
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
                    framed_.clear();
                    brallo::net::appendFrame(framed_,
                                             wellFormed[script.byte() % std::size(wellFormed)]);
                    relay_.receive(id, framed_, now_);
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
        for (ClientId id : ever_) {
            if (live_[id]) relay_.drop(id, "disconnected", now_);
        }
        check();
        require(relay_.clientCount() == 0);
        require(relay_.matchCount() == 0);
        require(!relay_.nextDeadline());
    }

  private:
    ClientId pick(std::uint8_t b) { return ever_.empty() ? 0 : ever_[b % ever_.size()]; }

    void check() {
        for (const auto& out : relay_.takeOutgoing()) {
            // Nothing to a client after its close.
            require(out.client < live_.size() && live_[out.client]);
            // Whole messages only: the length bytes must end exactly at the end.
            std::size_t at = 0;
            while (at < out.bytes.size()) at += 1 + static_cast<unsigned char>(out.bytes[at]);
            require(at == out.bytes.size());
            if (out.close) {
                live_[out.client] = false;
                --liveCount_;
            }
        }
        require(relay_.clientCount() == liveCount_);
    }

    brallo::relay::Relay relay_;
    Clock::time_point now_{};
    std::vector<ClientId> ever_;
    std::vector<bool> live_;  ///< by client id; the relay hands them out counting up
    std::size_t liveCount_ = 0;
    std::string framed_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script script(data, std::min(size, mostScriptBytes));
    Harness harness(1 + script.byte() % 4);
    harness.run(script);
    return 0;
}
