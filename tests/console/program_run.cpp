#include "program_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace consoletest {

namespace {

// Far beyond what a program takes to end once told, even on a loaded machine.
constexpr auto kEndBound = std::chrono::seconds(10);

int msUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Pointers into `strings` with the closing null, as exec wants them.
std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& entry : strings)
        pointers.push_back(entry.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `program` with `input` (-1: the test's) and `output` as its standard
// input and output. Every descriptor the test made is close-on-exec, so the
// program holds no pipe end but its own. -1 when it cannot be started.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, char** envp, int input,
            int output, const std::filesystem::path* directory) {
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = pointersTo(args);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    if (directory != nullptr)
        posix_spawn_file_actions_addchdir_np(&actions, directory->c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits up to `bound` for `pid` to end; its exit code, -1 when it ended
// otherwise, nothing when it did not end.
std::optional<int> awaitExit(pid_t pid, Clock::duration bound) {
    // Through syscall(): this glibc's own pidfd_open header lacks C linkage.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    pollfd readable{ended, POLLIN, 0};
    const bool done =
        ended >= 0 && ::poll(&readable, 1, msUntil(Clock::now() + bound)) == 1;
    if (ended >= 0)
        ::close(ended);
    int status = 0;
    if (!done || ::waitpid(pid, &status, 0) != pid)
        return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readUntilClosed(int fd, Clock::time_point deadline) {
    std::string text;
    for (;;) {
        const int left = msUntil(deadline);
        if (left == 0)
            return text;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, left) <= 0)
            continue;
        char chunk[512];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0)
            return text;
        text.append(chunk, static_cast<size_t>(got));
    }
}

} // namespace

Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& env, const std::filesystem::path& directory,
                   Clock::duration bound) {
    Outcome outcome;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return outcome;
    }
    std::vector<std::string> environment = env;
    std::vector<char*> envp = pointersTo(environment);
    const auto start = Clock::now();
    const pid_t pid = spawn(program, arguments, envp.data(), -1, pipeFds[1], &directory);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        ADD_FAILURE() << "cannot start " << program;
        return outcome;
    }

    outcome.output = readUntilClosed(pipeFds[0], start + bound);
    ::close(pipeFds[0]);
    std::optional<int> status = awaitExit(pid, start + bound - Clock::now());
    if (!status) {
        ADD_FAILURE() << program << " did not finish within the bound; killed";
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    } else if (*status < 0) {
        ADD_FAILURE() << program << " ended abnormally";
    }
    outcome.status = status.value_or(-1);
    outcome.elapsed = Clock::now() - start;
    return outcome;
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    pid_ = spawn(program, arguments, environ, in[0], out[1], nullptr);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!awaitExit(pid_, kEndBound)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    if (input_ >= 0)
        ::close(input_);
    if (output_ >= 0)
        ::close(output_);
}

std::string BackgroundProgram::nextLine(Clock::duration bound) {
    const auto deadline = Clock::now() + bound;
    std::string line;
    char c = 0;
    for (;;) {
        pollfd readable{output_, POLLIN, 0};
        if (::poll(&readable, 1, msUntil(deadline)) != 1 || ::read(output_, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
}

} // namespace consoletest
