// SDL2_net start-up, resolution and TCP sockets; see net.h.
#include "oskasdl/ext/net.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace oskasdl {

SDLNetException::SDLNetException() : SDLException(std::string(SDLNet_GetError())) {}

SDLNetException::SDLNetException(const std::string& msg) : SDLException(msg) {}

void initNet() {
    if (SDLNet_Init() != 0) throw SDLNetException();
}

IPaddress resolve(std::string_view host, uint16_t port) {
    IPaddress address{};
    resolveChecked(host, port, address);
    return address;
}

bool resolveChecked(std::string_view host, uint16_t port, IPaddress& out) {
    out = IPaddress{};
    const std::string zeroTerminated(host);
    return SDLNet_ResolveHost(&out, zeroTerminated.c_str(), port) == 0;
}

namespace {

// SDL_net dereferences the handle without a check: a null one would crash instead of failing.
void requireConnection(TCPsocket soc) {
    if (soc == nullptr) throw SDLNetException("No connection");
}

// SDL_net leaves its error text untouched when the system call fails (it only sets it for its
// own checks), so the text would be empty or about something earlier. Put the system's reason
// into it; `errno` must be 0 before the call so that SDL_net's own failures keep their text.
void reportSystemError(const char* what) {
    const int error = errno;
    if (error != 0) SDLNet_SetError("%s: %s", what, std::strerror(error));
}

}  // namespace

TCPSocket TCPSocket::open(IPaddress address) {
    TCPsocket soc = SDLNet_TCP_Open(&address);
    if (soc == nullptr) throw SDLNetException();
    return TCPSocket{soc};
}

TCPSocket TCPSocket::accept() {
    requireConnection(soc);
    return TCPSocket{SDLNet_TCP_Accept(soc)};
}

void TCPSocket::rawSend(std::span<const uint8_t> data) {
    requireConnection(soc);
    if (data.size() > INT_MAX) throw SDLNetException("Too much data for one send");
    const int length = static_cast<int>(data.size());
    errno = 0;
    if (SDLNet_TCP_Send(soc, data.data(), length) < length) {
        reportSystemError("Send failed");
        throw SDLNetException();
    }
}

void TCPSocket::rawSend(std::string_view data) {
    rawSend(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
}

std::span<uint8_t> TCPSocket::rawReceive(std::span<uint8_t> buffer) {
    requireConnection(soc);
    if (buffer.empty()) {
        thread_local std::array<uint8_t, 512> fallback;
        buffer = fallback;
    }
    const int length = buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(buffer.size());
    errno = 0;
    const int received = SDLNet_TCP_Recv(soc, buffer.data(), length);
    if (received < 0) {
        reportSystemError("Receive failed");
        throw SDLException();
    }
    return buffer.first(static_cast<std::size_t>(received));
}

void TCPSocket::close() {
    if (soc != nullptr) SDLNet_TCP_Close(soc);
    soc = nullptr;
}

}  // namespace oskasdl
