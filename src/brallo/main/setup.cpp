#include "brallo/main/setup.h"

#include <cstdio>
#include <istream>
#include <ostream>

#include "brallo/main/numbers.h"
#include "brallo/main/socket_channel.h"
#include "brallo/net/net.h"

namespace brallo {
namespace {

/// Length of the UTF-8 white-space character at the start of `s`, or 0.
std::size_t whiteSpaceAt(std::string_view s) {
    if (s.empty()) return 0;
    unsigned char c = static_cast<unsigned char>(s[0]);
    if (c == ' ' || (c >= 9 && c <= 13)) return 1;
    // The other Unicode white space: U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029,
    // U+202F, U+205F, U+3000.
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    if (s.size() >= 2 && c == 0xC2 && (byte(1) == 0x85 || byte(1) == 0xA0)) return 2;
    if (s.size() >= 3) {
        unsigned char b1 = byte(1), b2 = byte(2);
        if (c == 0xE1 && b1 == 0x9A && b2 == 0x80) return 3;
        if (c == 0xE2 && b1 == 0x80 &&
            ((b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF))
            return 3;
        if (c == 0xE2 && b1 == 0x81 && b2 == 0x9F) return 3;
        if (c == 0xE3 && b1 == 0x80 && b2 == 0x80) return 3;
    }
    return 0;
}

std::string_view trim(std::string_view s) {
    while (std::size_t n = whiteSpaceAt(s)) s.remove_prefix(n);
    // From the end: try the longest white-space encodings first.
    for (bool trimmed = true; trimmed && !s.empty();) {
        trimmed = false;
        for (std::size_t n = 3; n >= 1; --n) {
            if (s.size() >= n && whiteSpaceAt(s.substr(s.size() - n)) == n) {
                s.remove_suffix(n);
                trimmed = true;
                break;
            }
        }
    }
    return s;
}

}  // namespace

ServerAddress parseServerAddress(std::string_view answer, uint16_t defaultPort) {
    std::string_view text = trim(answer);
    ServerAddress address{std::string(text), defaultPort};
    if (std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        address.port = parsePort(text.substr(colon + 1));
        address.host = std::string(text.substr(0, colon));
    }
    if (address.host.empty()) address.host = "127.0.0.1";
    return address;
}

ServerConnection connect(game::World& world, std::string& mapName, std::istream& in,
                         std::ostream& out) {
    out << "connect to (enter nothing for localhost)?" << std::endl;
    std::string answer;
    if (!std::getline(in, answer)) answer.clear();
    ServerAddress address = parseServerAddress(answer, net::port);
    net::port = address.port;
    out << address.host << std::endl;
    out << "port " << net::port << std::endl;

    IPaddress ip{};
    if (!oskasdl::resolveChecked(address.host, net::port, ip)) {
        throw oskasdl::SDLNetException("Cannot resolve host \"" + address.host +
                                       "\": " + SDLNet_GetError());
    }
    ServerConnection connection;
    connection.serverSoc = oskasdl::TCPSocket::open(ip);
    char handle[32];
    std::snprintf(
        handle, sizeof handle, "%lX",
        static_cast<unsigned long>(reinterpret_cast<uintptr_t>(connection.serverSoc.soc)));
    out << "Connection: " << handle << std::endl;

    SocketChannel channel(connection.serverSoc);
    handshake(channel, world, mapName, out, in);

    connection.set = SDLNet_AllocSocketSet(1);
    if (connection.set == nullptr ||
        SDLNet_TCP_AddSocket(connection.set, connection.serverSoc.soc) < 1) {
        throw oskasdl::SDLNetException();
    }
    return connection;
}

}  // namespace brallo
