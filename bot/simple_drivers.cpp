// The idle, random and scripted drivers.
#include <fstream>
#include <random>

#include "drivers.h"

namespace brallo::bot {

namespace {

class IdleDriver final : public Driver {
  public:
    std::string command(const game::World&) override { return "___"; }
};

class RandomDriver final : public Driver {
  public:
    explicit RandomDriver(uint32_t seed) : generator_(seed) {}

    std::string command(const game::World&) override {
        if (remaining_ == 0) {
            // Plain remainders rather than std::uniform_int_distribution, whose results differ
            // between standard libraries: a seed gives the same play everywhere.
            static constexpr char first[] = {'j', 'c', '_', '_'};
            static constexpr char middle[] = {'l', 'r', '_'};
            static constexpr char last[] = {'s', '_'};
            current_ = {first[generator_() % 4], middle[generator_() % 3], last[generator_() % 2]};
            remaining_ = 1 + static_cast<int>(generator_() % 20);
        }
        --remaining_;
        return current_;
    }

  private:
    std::mt19937 generator_;
    std::string current_ = "___";
    int remaining_ = 0;
};

class ScriptDriver final : public Driver {
  public:
    explicit ScriptDriver(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::string command(const game::World&) override {
        if (next_ >= lines_.size()) return "___";
        return lines_[next_++];
    }

  private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<Driver> makeIdleDriver() {
    return std::make_unique<IdleDriver>();
}

std::unique_ptr<Driver> makeRandomDriver(uint32_t seed) {
    return std::make_unique<RandomDriver>(seed);
}

std::unique_ptr<Driver> makeScriptDriver(const std::vector<std::string>& lines) {
    std::vector<std::string> commands;
    commands.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The relay drops a client whose command is not exactly three bytes.
        if (line.size() != 3) {
            throw ScriptError("script line " + std::to_string(i + 1) + ": \"" + line +
                              "\" is not a three-character command");
        }
        commands.push_back(std::move(line));
    }
    return std::make_unique<ScriptDriver>(std::move(commands));
}

std::vector<std::string> readScriptLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScriptError("Cannot read the script \"" + path + "\"");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    if (in.bad()) throw ScriptError("Cannot read the script \"" + path + "\"");
    return lines;
}

}  // namespace brallo::bot
