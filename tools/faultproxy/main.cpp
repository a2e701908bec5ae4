// brallo-faultproxy: puts a fault-injecting proxy between clients and a relay, e.g.
//   brallo-faultproxy --to 127.0.0.1:11112 --listen 11113 --delay 40 --jitter 20 --single-bytes
// Runs until SIGINT or SIGTERM. Exit status 2 for a bad command line, 1 when it cannot listen.
#include <signal.h>

#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "faultproxy.h"

namespace {

using brallo::faultproxy::Faults;

const char* usage =
    "usage: brallo-faultproxy --to ADDR:PORT [--listen PORT] [--delay MS] [--jitter MS]\n"
    "                         [--single-bytes] [--byte-gap-us US] [--cut-after-bytes N]\n"
    "                         [--cut-after-ms MS] [--seed N]\n"
    "Listens on 127.0.0.1 and forwards each connection to ADDR:PORT with the faults given.\n";

struct BadArgument : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::uint64_t number(std::string_view name, std::string_view text, std::uint64_t most) {
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty() || value > most)
        throw BadArgument(std::string(name) + ": expected a number up to " + std::to_string(most) +
                          ", not \"" + std::string(text) + "\"");
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    Faults faults;
    std::string host;
    std::uint16_t upstreamPort = 0, listenPort = 0;
    try {
        for (int i = 1; i < argc; ++i) {
            std::string_view name = argv[i];
            if (name == "--help") {
                std::cout << usage;
                return 0;
            }
            if (name == "--single-bytes") {
                faults.singleBytes = true;
                continue;
            }
            if (i + 1 >= argc) throw BadArgument(std::string(name) + " needs a value");
            std::string_view value = argv[++i];
            if (name == "--to") {
                auto colon = value.rfind(':');
                if (colon == std::string_view::npos) throw BadArgument("--to: expected ADDR:PORT");
                host = std::string(value.substr(0, colon));
                upstreamPort =
                    static_cast<std::uint16_t>(number("--to", value.substr(colon + 1), 65535));
            } else if (name == "--listen") {
                listenPort = static_cast<std::uint16_t>(number(name, value, 65535));
            } else if (name == "--delay") {
                faults.delay = std::chrono::milliseconds(number(name, value, 60000));
            } else if (name == "--jitter") {
                faults.jitter = std::chrono::milliseconds(number(name, value, 60000));
            } else if (name == "--byte-gap-us") {
                faults.byteGap = std::chrono::microseconds(number(name, value, 1000000));
            } else if (name == "--cut-after-bytes") {
                faults.cutAfterBytes = number(name, value, UINT64_MAX);
            } else if (name == "--cut-after-ms") {
                faults.cutAfter = std::chrono::milliseconds(number(name, value, 86400000));
            } else if (name == "--seed") {
                faults.seed = static_cast<std::uint32_t>(number(name, value, UINT32_MAX));
            } else {
                throw BadArgument("unknown option " + std::string(name));
            }
        }
        if (host.empty()) throw BadArgument("--to is required");
    } catch (const BadArgument& e) {
        std::cerr << "brallo-faultproxy: " << e.what() << "\n" << usage;
        return 2;
    }

    try {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        brallo::faultproxy::FaultProxy proxy(host, upstreamPort, faults, listenPort);
        std::cerr << "listening on 127.0.0.1 port " << proxy.port() << std::endl;
        std::thread([&proxy, signals] {
            int sig = 0;
            sigwait(&signals, &sig);
            proxy.stop();
        }).detach();
        proxy.run();
    } catch (const std::exception& e) {
        std::cerr << "brallo-faultproxy: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
