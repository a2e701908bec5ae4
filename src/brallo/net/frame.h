// The wire format shared by the client, the bot and the relay: every message is one length
// byte (0 to 255) followed by that many bytes of text, with no terminator.
// Pure code over byte buffers, so the relay, the bot and the fuzzers use it without SDL.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace brallo::net {

inline constexpr std::size_t maxMessageLength = 255;

/// Appends the framed `text` to `out`. Throws std::length_error("Too long message") for a text
/// of more than 255 bytes, before anything is appended.
inline void appendFrame(std::string& out, std::string_view text) {
    if (text.size() > maxMessageLength) throw std::length_error("Too long message");
    out.push_back(static_cast<char>(static_cast<unsigned char>(text.size())));
    out.append(text);
}

/// Splits a byte stream into whole messages, however the bytes arrive.
class FrameDecoder {
public:
    void feed(std::string_view bytes) { pending_.append(bytes); }

    /// The next whole message, or nothing while its bytes are still missing.
    std::optional<std::string> next() {
        if (pending_.size() <= start_) return std::nullopt;
        std::size_t length = static_cast<unsigned char>(pending_[start_]);
        if (pending_.size() - start_ - 1 < length) return std::nullopt;
        std::string text = pending_.substr(start_ + 1, length);
        start_ += 1 + length;
        if (start_ == pending_.size() || start_ > 4096) {
            pending_.erase(0, start_);
            start_ = 0;
        }
        return text;
    }

    /// Bytes received that do not yet form a whole message.
    std::size_t buffered() const { return pending_.size() - start_; }

private:
    std::string pending_;
    std::size_t start_ = 0;
};

}  // namespace brallo::net
