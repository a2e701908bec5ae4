// Message framing over TCP; see net.h. The wire format itself lives in frame.h.
#include "brallo/net/net.h"

#include <array>
#include <span>
#include <string>

#include "brallo/net/frame.h"

namespace brallo::net {

uint16_t port = 11112;

namespace {

// The one receive buffer: receiveStr allocates nothing and returns a view of it.
std::array<uint8_t, maxMessageLength> buffer;

// Fills `out` completely. A receive that delivers nothing means the peer has gone; trying again
// would spin for ever.
void receiveExactly(oskasdl::TCPSocket soc, std::span<uint8_t> out) {
    while (!out.empty()) {
        const std::span<uint8_t> received = soc.rawReceive(out);
        if (received.empty()) throw oskasdl::SDLNetException("Server closed the connection");
        out = out.subspan(received.size());
    }
}

}  // namespace

void sendStr(oskasdl::TCPSocket soc, std::string_view text) {
    // One send of the length byte and the text: the same bytes on the wire as two sends.
    std::string frame;
    appendFrame(frame, text);
    soc.rawSend(frame);
}

std::string_view receiveStr(oskasdl::TCPSocket soc) {
    uint8_t length = 0;
    receiveExactly(soc, std::span(&length, 1));
    receiveExactly(soc, std::span(buffer).first(length));
    return {reinterpret_cast<const char*>(buffer.data()), length};
}

}  // namespace brallo::net
