// Fuzz target for the client's side of the protocol: the input is the byte stream a server
// sends. It runs the setup handshake, loads a small fixed map, then handles one server message
// after the other as the client's main loop does (a tick steps the world), until the first
// refusal. Built only by the fuzz build (fuzz/run).
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/main/config.h"
#include "brallo/main/maptext.h"
#include "brallo/main/numbers.h"
#include "brallo/main/protocol.h"
#include "brallo/net/frame.h"
#include "tev/base.h"

namespace {

struct StreamEnded : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The server's side of the connection, replayed from memory; what the client sends is dropped.
class ReplayChannel : public brallo::MessageChannel {
  public:
    explicit ReplayChannel(std::string_view bytes) { decoder_.feed(bytes); }
    void send(std::string_view) override {}
    std::string_view receive() override {
        auto message = decoder_.next();
        if (!message) throw StreamEnded("the server's stream ended");
        current_ = std::move(*message);
        return current_;
    }

  private:
    brallo::net::FrameDecoder decoder_;
    std::string current_;
};

constexpr std::string_view arena =
    "c:10|20|30|0\r\nb:0|400|800|20\r\np:300|330|100|10\r\ns:300|390|0|0\r\ng:500|390|0|0\r\n";
constexpr std::string_view ownCommands[] = {"___", "_rs", "jl_", "c_s"};
// Stepping a large match is slow and adds no protocol coverage, so only small ones are played.
constexpr std::size_t mostPlayersStepped = 16;
constexpr int mostTicks = 200;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplayChannel server(std::string_view(reinterpret_cast<const char*>(data), size));
    brallo::game::World world;
    std::string mapName = "map1";
    std::ostream discard(nullptr);
    std::istringstream console;
    try {
        brallo::handshake(server, world, mapName, discard, console);
        brallo::game::Color background{};
        brallo::applyMapText(arena, world, background);
        for (int tick = 0; tick < mostTicks;) {
            if (brallo::handleServerMessage(server, world) != brallo::ServerEvent::tick) continue;
            if (world.players.size() > mostPlayersStepped) continue;
            brallo::game::step(world);
            brallo::game::handleMessage(world, ownCommands[tick % 4], world.myself);
            ++tick;
        }
    } catch (const StreamEnded&) {
    } catch (const brallo::ProtocolError&) {
        // The refusals a hostile server must meet: each ends the client with its message.
    } catch (const brallo::ConversionError&) {
    } catch (const brallo::ConfigError&) {
    } catch (const tev::TEVError&) {
    } catch (const brallo::game::GameError&) {
    }
    return 0;
}
