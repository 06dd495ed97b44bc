#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qrt::testing {

/// A program started for an end-to-end test, its standard output going to a file.
/// Stopped (SIGTERM, then waited for) when the object goes.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& outputPath) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            std::vector<char*> args;
            for (const std::string& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }

    void signal(int number) const {
        if (pid_ > 0) {
            ::kill(pid_, number);
        }
    }

    /// Stops the program and returns its exit status, 128 + the signal's number when a
    /// signal ended it (as a shell shows it).
    int stop(int number = SIGTERM) {
        if (pid_ <= 0) {
            return status_;
        }
        ::kill(pid_, number);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
};

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Runs a shell command to its end: its exit status and what it printed on standard
/// output.
inline std::pair<int, std::string> runCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = pipe == nullptr ? -1 : ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

/// Polls a condition until it holds or the time-out passes.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

/// Waits until the file holds `text`.
inline bool waitForText(const std::string& path, const std::string& text,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return waitFor([&] { return readText(path).find(text) != std::string::npos; }, timeout);
}

}  // namespace qrt::testing
