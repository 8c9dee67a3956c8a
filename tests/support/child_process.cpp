#include "child_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Far beyond what a program takes to end once told, even on a loaded machine.
constexpr auto kEndBound = std::chrono::seconds(10);

int msUntil(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Pointers into `strings` with the closing null, as exec wants them.
std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& entry : strings)
        pointers.push_back(entry.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Waits until `fd` is readable or `deadline` passes; a signal that cuts the
// wait short does not end it.
bool readableBy(int fd, Clock::time_point deadline)
{
    for (;;) {
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, msUntil(deadline));
        if (ready >= 0 || errno != EINTR)
            return ready == 1;
    }
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::optional<std::vector<std::string>>& environment,
                           const std::filesystem::path& workDir)
{
    // Every descriptor made here is close-on-exec, so the program holds no
    // pipe end but its own and sees its input end when the test closes it.
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = pointersTo(args);
    std::vector<std::string> env = environment.value_or(std::vector<std::string>{});
    std::vector<char*> envp = pointersTo(env);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (!workDir.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(),
                      environment ? envp.data() : environ) != 0)
        pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

ChildProcess::~ChildProcess()
{
    if (started() && !reaped_) {
        ::kill(pid_, SIGTERM);
        if (!wait(kEndBound)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    closeInput();
    if (output_ >= 0)
        ::close(output_);
}

bool ChildProcess::readSome(Clock::time_point deadline)
{
    if (!readableBy(output_, deadline))
        return false;
    char chunk[512];
    const ssize_t got = ::read(output_, chunk, sizeof chunk);
    if (got <= 0)
        return false;
    pending_.append(chunk, static_cast<size_t>(got));
    return true;
}

std::string ChildProcess::readLine(Clock::duration bound)
{
    const auto deadline = Clock::now() + bound;
    size_t end = 0;
    while ((end = pending_.find('\n')) == std::string::npos)
        if (!readSome(deadline))
            return {};
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
}

std::string ChildProcess::readAll(Clock::duration bound)
{
    const auto deadline = Clock::now() + bound;
    while (readSome(deadline)) {
    }
    return std::exchange(pending_, {});
}

void ChildProcess::closeInput()
{
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
}

void ChildProcess::signal(int number)
{
    if (started() && !reaped_)
        ::kill(pid_, number);
}

std::optional<int> ChildProcess::wait(Clock::duration bound)
{
    if (!started() || reaped_)
        return std::nullopt;
    // The program's end as an event that poll can wait for within the bound;
    // through syscall(), as this glibc's own pidfd_open header lacks C linkage.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    const bool inTime = ended >= 0 && readableBy(ended, Clock::now() + bound);
    if (ended >= 0)
        ::close(ended);
    int status = 0;
    if (!inTime || ::waitpid(pid_, &status, 0) != pid_)
        return std::nullopt;
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& env, const std::filesystem::path& directory,
                   Clock::duration bound)
{
    Outcome outcome;
    const auto start = Clock::now();
    ChildProcess child(program, arguments, env, directory);
    if (!child.started()) {
        ADD_FAILURE() << "cannot start " << program;
        return outcome;
    }
    child.closeInput();
    outcome.output = child.readAll(start + bound - Clock::now());
    const std::optional<int> status = child.wait(start + bound - Clock::now());
    if (!status) {
        ADD_FAILURE() << program << " did not finish within the bound; killed";
        child.signal(SIGKILL);
    } else if (*status < 0) {
        ADD_FAILURE() << program << " ended abnormally";
    }
    outcome.status = status.value_or(-1);
    outcome.elapsed = Clock::now() - start;
    return outcome;
}

} // namespace testsupport
