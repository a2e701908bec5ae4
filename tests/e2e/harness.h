// Real processes for the end-to-end tests: a child whose output goes to files (so a chatty
// process never blocks on a full pipe), bounded waits, a scratch folder, and the relay started
// on a free loopback port. Used by every test in this folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brallo::e2e {

using namespace std::chrono_literals;

/// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

/// A started program. Its standard output and error output go to the files `outPath` and
/// `errPath`; its standard input reads `input` and then ends. Killed and reaped on destruction.
class Child {
  public:
    struct Launch {
        std::vector<std::string> argv;
        std::string outPath;
        std::string errPath;
        std::string workDir = ".";
        std::vector<std::string> env;  ///< "NAME=value" added to the environment
        std::string input;
    };
    explicit Child(const Launch& launch);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int sig);
    /// The exit status, 128 + the signal for a killed process, or nothing while it still runs
    /// after `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit);
    bool running();
    std::string out() const;
    std::string err() const;

  private:
    Launch launch_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
std::vector<std::string> lines(const std::string& text);
/// The lines of `text` that start with `prefix`.
std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix);

/// Polls `done` every 10 ms until it holds or `limit` passed; true when it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

/// brallo-relay on 127.0.0.1 at a port the system picked, recording into `recordDir`.
class Relay {
  public:
    Relay(const ScratchDir& dir, int32_t players, int32_t tickMs, uint32_t seed,
          const std::string& configFile = "");
    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    Child& process() { return *child_; }
    /// The one record file in the record folder; empty when there is none yet.
    std::string recordFile() const;

  private:
    std::string recordDir_;
    std::unique_ptr<Child> child_;
    uint16_t port_ = 0;
};

/// Paths of the programs under test and the data folder, as the build gives them.
std::string relayPath();
std::string botPath();
std::string clientPath();
std::string dataDir();

/// True when a program of that name is on the PATH.
bool haveProgram(const std::string& name);

}  // namespace brallo::e2e
