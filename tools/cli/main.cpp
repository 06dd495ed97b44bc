// qrt-cli: every operator task of the window as a command, on the same core.
#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/command_line.h"
#include "shared/live_watch.h"

int main(int argc, char** argv) {
    using namespace qrt::cli;
    // A reader that went away (| head) fails the write with its reason, as a full disk does,
    // instead of killing a task that may be halfway through a transfer.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);  // the serial backend expects one
    CLI::App app{"", "qrt-cli"};
    CommandLine commandLine(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int shown = app.exit(error);
        return shown == 0 ? exit_status::kDone : exit_status::kUsage;
    }
    const int status = commandLine.run();
    if (status == exit_status::kInterrupted) {
        qrt::tools::endByStopSignal();  // the task has cleaned up
        return status;
    }
    errno = 0;
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && status == exit_status::kDone) {
        const char* reason = errno != 0 ? std::strerror(errno) : "an earlier write failed";
        return fail(std::string("cannot write standard output: ") + reason, exit_status::kUsage);
    }
    return status;
}
