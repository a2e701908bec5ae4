#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace brallo::testing {
namespace {

void makePipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::string& workDir,
                 const std::vector<std::string>& env) {
    int inPipe[2], outPipe[2], errPipe[2];
    makePipe(inPipe);
    makePipe(outPipe);
    makePipe(errPipe);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    in_ = inPipe[1];
    out_ = outPipe[0];
    err_ = errPipe[0];
    ::signal(SIGPIPE, SIG_IGN);
}

Process::~Process() {
    if (!status_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        wait(std::chrono::seconds(5));
    }
    for (int fd : {in_, out_, err_}) {
        if (fd >= 0) close(fd);
    }
}

void Process::writeStdin(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(in_, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void Process::closeStdin() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

std::optional<std::string> Process::readLine(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (std::size_t nl = outBuffer_.find('\n'); nl != std::string::npos) {
            std::string line = outBuffer_.substr(0, nl);
            outBuffer_.erase(0, nl + 1);
            return line;
        }
        if (outClosed_) return std::nullopt;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) {
            outClosed_ = true;
        } else {
            outBuffer_.append(buf, static_cast<std::size_t>(n));
        }
        drainStderr(0);
    }
}

void Process::drainStderr(int timeoutMs) {
    for (;;) {
        pollfd p{err_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return;
        char buf[4096];
        ssize_t n = read(err_, buf, sizeof buf);
        if (n <= 0) return;
        errBuffer_.append(buf, static_cast<std::size_t>(n));
    }
}

std::string Process::stderrText() {
    drainStderr(status_ ? 100 : 0);
    return errBuffer_;
}

void Process::signal(int sig) {
    if (!status_) kill(pid_, sig);
}

std::optional<int> Process::wait(std::chrono::milliseconds limit) {
    if (status_) return status_;
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            drainStderr(50);
            return status_;
        }
        drainStderr(0);
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace brallo::testing
