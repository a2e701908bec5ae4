// The message channel over the real connection to the relay server.
#pragma once

#include "brallo/main/protocol.h"
#include "brallo/net/net.h"

namespace brallo {

class SocketChannel final : public MessageChannel {
  public:
    explicit SocketChannel(oskasdl::TCPSocket socket) : socket_(socket) {}
    void send(std::string_view text) override { net::sendStr(socket_, text); }
    std::string_view receive() override { return net::receiveStr(socket_); }

  private:
    oskasdl::TCPSocket socket_;
};

}  // namespace brallo
