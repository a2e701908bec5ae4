// Sends and receives one framed text message (a length byte, then at most 255 bytes of text)
// over a TCP connection, and holds the default server port.
// Called by match setup and the tick exchange of the client.
#pragma once

#include <cstdint>
#include <string_view>

#include "oskasdl/ext/net.h"

namespace brallo::net {

/// The relay server's TCP port; match setup may replace it from the console.
extern uint16_t port;

/// Sends `text` as one message; more than 255 bytes throws std::length_error("Too long message")
/// before anything is sent.
void sendStr(oskasdl::TCPSocket soc, std::string_view text);

/// Blocks until one whole message is in and returns its text, never reading past its end.
/// The view stays valid until the next call. The end of the stream throws SDLNetException.
std::string_view receiveStr(oskasdl::TCPSocket soc);

}  // namespace brallo::net
