// Process handling for the end-to-end tests with POSIX calls; every wait is bounded.
#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace brallo::e2e {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brallo-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Child::Child(const Launch& launch) : launch_(launch) {
    int input[2];
    if (::pipe(input) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> argv;
    for (const std::string& a : launch_.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // Only async-signal-safe calls from here on, apart from setenv in a fresh child.
        ::dup2(input[0], 0);
        ::close(input[0]);
        ::close(input[1]);
        int out = ::open(launch_.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(launch_.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) ::_exit(126);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::close(out);
        ::close(err);
        if (::chdir(launch_.workDir.c_str()) != 0) ::_exit(126);
        for (const std::string& e : launch_.env) {
            auto eq = e.find('=');
            ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    // The inputs the tests give are a line or two, far below the pipe's capacity.
    if (!launch_.input.empty()) {
        [[maybe_unused]] ssize_t n = ::write(input[1], launch_.input.data(), launch_.input.size());
    }
    ::close(input[1]);
}

Child::~Child() {
    if (!status_) {
        signal(SIGKILL);
        wait(5s);
    }
}

void Child::signal(int sig) {
    if (!status_ && pid_ > 0) ::kill(pid_, sig);
}

std::optional<int> Child::wait(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!status_) {
        int raw = 0;
        pid_t r = ::waitpid(pid_, &raw, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(5ms);
    }
    return status_;
}

bool Child::running() {
    return !wait(0ms);
}

std::string Child::out() const {
    return readFile(launch_.outPath);
}
std::string Child::err() const {
    return readFile(launch_.errPath);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) result.push_back(line);
    return result;
}

std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> result;
    for (const std::string& line : lines(text)) {
        if (line.compare(0, prefix.size(), prefix) == 0) result.push_back(line);
    }
    return result;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

Relay::Relay(const ScratchDir& dir, int32_t players, int32_t tickMs, uint32_t seed,
             const std::string& configFile)
    : recordDir_(dir.file("records")) {
    std::filesystem::create_directories(recordDir_);
    Child::Launch launch;
    launch.argv = {relayPath(),
                   "--bind",
                   "127.0.0.1",
                   "--port",
                   "0",
                   "--players",
                   std::to_string(players),
                   "--tick-ms",
                   std::to_string(tickMs),
                   "--seed",
                   std::to_string(seed),
                   "--timeout",
                   "10",
                   "--record",
                   recordDir_};
    if (!configFile.empty()) {
        launch.argv.push_back("--config");
        launch.argv.push_back(configFile);
    }
    launch.outPath = dir.file("relay.out");
    launch.errPath = dir.file("relay.err");
    child_ = std::make_unique<Child>(launch);

    // The first line of its error output names the port it listens on.
    static const std::regex listening(R"(port (\d+))");
    std::string port;
    bool up = waitUntil(
        [&] {
            std::string first = child_->err();
            if (first.find('\n') == first.npos) return false;
            first.resize(first.find('\n'));
            std::smatch m;
            if (!std::regex_search(first, m, listening)) return false;
            port = m[1].str();
            return true;
        },
        10s);
    if (!up) throw std::runtime_error("the relay did not start: " + child_->err());
    port_ = static_cast<uint16_t>(std::stoi(port));
}

std::string Relay::recordFile() const {
    for (const auto& entry : std::filesystem::directory_iterator(recordDir_)) {
        return entry.path().string();
    }
    return "";
}

std::string relayPath() {
    return BRALLO_RELAY_PATH;
}
std::string botPath() {
    return BRALLO_BOT_PATH;
}
std::string clientPath() {
    return BRALLO_CLIENT_PATH;
}
std::string dataDir() {
    return BRALLO_DATA_DIR;
}

bool haveProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace brallo::e2e
