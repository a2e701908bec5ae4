// The real brallo-relay for the hostile tests: started on a free loopback port with its log in
// a file (so thousands of log lines never block it on a full pipe), with its open descriptors
// counted from /proc. Used by the hostile-client and fault-proxy tests.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "process.h"

namespace brallo::hostile {

class RelayProcess {
  public:
    /// `options` are added to --port 0 --bind 127.0.0.1; throws when no port is logged in 10 s.
    explicit RelayProcess(const std::vector<std::string>& options) {
        static int counter = 0;
        logPath_ = (std::filesystem::temp_directory_path() /
                    ("brallo-relay-log-" + std::to_string(getpid()) + "-" +
                     std::to_string(counter++) + ".txt"))
                       .string();
        std::vector<std::string> argv = {
            "/bin/sh", "-c",       "exec \"$@\" 2>\"$LOG\"", "sh", BRALLO_RELAY_PATH, "--port", "0",
            "--bind",  "127.0.0.1"};
        argv.insert(argv.end(), options.begin(), options.end());
        process_ = std::make_unique<testing::Process>(argv, ".",
                                                      std::vector<std::string>{"LOG=" + logPath_});
        std::regex listening("listening on 127\\.0\\.0\\.1 port ([0-9]+)");
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            std::smatch m;
            std::string text = log();
            if (std::regex_search(text, m, listening)) {
                port_ = static_cast<std::uint16_t>(std::stoi(m[1]));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        throw std::runtime_error("brallo-relay did not start: " + log());
    }
    /// Ends the relay with SIGTERM: it must stop cleanly, with no sanitizer report in its log.
    ~RelayProcess() {
        process_->signal(SIGTERM);
        EXPECT_EQ(process_->wait(std::chrono::seconds(10)), std::optional<int>(0));
        std::string text = log();
        EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text.substr(text.find("Sanitizer"));
        EXPECT_EQ(text.find("runtime error"), std::string::npos);
        std::filesystem::remove(logPath_);
    }

    std::uint16_t port() const { return port_; }
    testing::Process& process() { return *process_; }
    std::string log() const {
        std::ifstream in(logPath_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    /// Lines of the log that contain `text`.
    std::vector<std::string> logLines(const std::string& text) const {
        std::vector<std::string> found;
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);)
            if (line.find(text) != std::string::npos) found.push_back(line);
        return found;
    }
    /// Waits (bounded) until `count` lines contain `text`.
    bool waitForLines(const std::string& text, std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        auto until = std::chrono::steady_clock::now() + limit;
        while (logLines(text).size() < count) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    /// Descriptors the relay holds open right now.
    std::size_t openDescriptors() const {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(
                 "/proc/" + std::to_string(process_->pid()) + "/fd")) {
            (void)entry;
            ++n;
        }
        return n;
    }

  private:
    std::string logPath_;
    std::unique_ptr<testing::Process> process_;
    std::uint16_t port_ = 0;
};

}  // namespace brallo::hostile
