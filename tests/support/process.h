// Test helpers for real processes: start a program with pipes on its standard streams, read its
// output line by line with a time limit, signal it and wait for its exit status, bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace brallo::testing {

class Process {
  public:
    /// Starts `argv[0]` with `argv` in `workDir`, with `env` added to the environment.
    Process(const std::vector<std::string>& argv, const std::string& workDir = ".",
            const std::vector<std::string>& env = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void writeStdin(const std::string& text);
    void closeStdin();
    /// The next line of standard output without its line end, or nothing when the output
    /// ended or `limit` passed first.
    std::optional<std::string> readLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
    /// Everything written to the error output so far (after the process ended: all of it).
    std::string stderrText();
    void signal(int sig);
    /// The exit status, 128 + the signal for a killed process, or nothing when it is still
    /// running after `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
    pid_t pid() const { return pid_; }

  private:
    void drainStderr(int timeoutMs);
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string outBuffer_, errBuffer_;
    bool outClosed_ = false;
    std::optional<int> status_;
};

}  // namespace brallo::testing
