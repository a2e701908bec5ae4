// SDL2_net start-up, host resolution and the TCP connection handle with raw send and receive.
// Reads SDL_net's error text on failure; holds no state beyond the handle it is given.
// Called by the game's message framing (brallo::net) and match setup.
#pragma once

#include <SDL_net.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "oskasdl/system.h"

namespace oskasdl {

/// A failure reported by SDL_net; the message is SDL_net's error text unless a text is given.
class SDLNetException : public SDLException {
  public:
    /// Takes SDL_net's current error text (SDLNet_GetError).
    SDLNetException();
    explicit SDLNetException(const std::string& msg);
};

/// Starts SDL2_net; a failure raises SDLNetException.
void initNet();

/// The address of `host` at `port`; a failed lookup is not reported (see resolveChecked).
IPaddress resolve(std::string_view host, uint16_t port);
/// Looks `host` up into `out`; returns false when the lookup failed (SDLNet_GetError says why).
bool resolveChecked(std::string_view host, uint16_t port, IPaddress& out);

/// A TCP connection handle; copies share the connection and nothing closes it automatically.
struct TCPSocket {
    TCPsocket soc = nullptr;  ///< null: no connection

    /// Connects to (or, for a null host, listens on) `address`; a failure raises SDLNetException.
    static TCPSocket open(IPaddress address);
    /// A pending connection of a listening socket, or a null handle when there is none.
    TCPSocket accept();
    /// Sends all of `data`; a short send raises SDLNetException.
    void rawSend(std::span<const uint8_t> data);
    void rawSend(std::string_view data);
    /// One receive into `buffer` (an empty one means a 512-byte buffer of this thread, valid
    /// until the next such call); returns the bytes received, none at the end of the stream.
    /// An error raises SDLException.
    std::span<uint8_t> rawReceive(std::span<uint8_t> buffer = {});
    /// Closes the connection if there is one; a second call does nothing.
    void close();
};

}  // namespace oskasdl
