// brallo-bot: a client without a window for matches on the relay, and the replay of records.
// Exit status 0 after a complete run, 1 on a failure, 2 for a bad command line.
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "drivers.h"
#include "load.h"
#include "options.h"
#include "session.h"
#include "tcp_channel.h"

namespace {

std::unique_ptr<brallo::bot::Driver> makeDriver(const brallo::bot::BotOptions& options) {
    using brallo::bot::DriverKind;
    switch (options.driver) {
        case DriverKind::idle:
            return brallo::bot::makeIdleDriver();
        case DriverKind::random:
            return brallo::bot::makeRandomDriver(options.randomSeed);
        case DriverKind::script:
            return brallo::bot::makeScriptDriver(brallo::bot::readScriptLines(options.scriptFile));
        case DriverKind::ai:
            break;
    }
    return brallo::bot::makeAiDriver();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    brallo::bot::BotOptions options;
    std::unique_ptr<brallo::bot::Driver> driver;
    try {
        options = brallo::bot::parseBotOptions(args);
        if (options.help) {
            std::cout << brallo::bot::botHelpText();
            return 0;
        }
        if (options.replayFile.empty()) driver = makeDriver(options);
    } catch (const std::exception& e) {
        std::cerr << "brallo-bot: " << e.what() << std::endl;
        return 2;
    }

    try {
        brallo::bot::installStopHandler();
        if (options.connections > 0) return brallo::bot::runLoad(options, std::cout, std::cerr);
        if (!options.replayFile.empty()) {
            return brallo::bot::replayRecord(options, std::cout, std::cerr);
        }
        return brallo::bot::playOnline(options, *driver, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "brallo-bot: " << e.what() << std::endl;
        return 1;
    }
}
