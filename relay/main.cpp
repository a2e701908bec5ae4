// brallo-relay: parses the options, blocks SIGINT/SIGTERM into a signalfd that ends the server
// cleanly, and runs the server. Logs go to the error output, one line per event.
#include <signal.h>
#include <sys/signalfd.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "options.h"
#include "server.h"

int main(int argc, char** argv) {
    using namespace brallo::relay;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    Options options;
    std::string config;
    try {
        options = parseOptions(args);
        if (options.help) {
            std::cout << helpText();
            return 0;
        }
        config = loadConfigText(options);
        checkRecordDir(options);
    } catch (const OptionError& e) {
        std::cerr << "brallo-relay: " << e.what() << "\n";
        return 2;
    }
    try {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) throw std::runtime_error("sigprocmask");
        int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
        if (signalFd < 0) throw std::runtime_error("signalfd");
        Server server(options, std::move(config),
                      [](const std::string& line) { std::cerr << line << std::endl; });
        server.run(signalFd);
    } catch (const std::exception& e) {
        std::cerr << "brallo-relay: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
