// A scripted peer for protocol tests: listens on an ephemeral loopback port, accepts one client
// and exchanges framed messages with it; every wait has a time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brallo/net/frame.h"

namespace brallo::testing {

class ScriptedServer {
  public:
    ScriptedServer();  ///< listens on 127.0.0.1 at a free port
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return port_; }
    /// Waits for the client; false when none came within `limit`.
    bool accept(std::chrono::milliseconds limit = std::chrono::seconds(10));
    void send(std::string_view text);      ///< one framed message
    void sendRaw(std::string_view bytes);  ///< bytes as they are
    /// The next whole message, or nothing when the connection ended or `limit` passed.
    std::optional<std::string> receive(std::chrono::milliseconds limit = std::chrono::seconds(10));
    /// Answers the setup questions of one client; false when a question was not as expected.
    bool serveSetup(std::string_view count, std::string_view me, std::string_view seed,
                    const std::vector<std::string>& configPieces);
    void closeClient();

  private:
    int listener_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
    net::FrameDecoder decoder_;
};

}  // namespace brallo::testing
