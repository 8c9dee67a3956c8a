#include "child_process.h"

#include <csignal>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrixtest {

using Clock = std::chrono::steady_clock;

namespace {

std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, const std::string& workDir)
{
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
    std::vector<std::string> env = environment;
    std::vector<char*> argv = pointersTo(args);
    std::vector<char*> envp = pointersTo(env);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

ChildProcess::~ChildProcess()
{
    if (started() && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeInput();
    if (output_ >= 0)
        ::close(output_);
}

bool ChildProcess::readSome(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd readable{output_, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(left.count())) != 1)
        return false;
    char chunk[512];
    const ssize_t got = ::read(output_, chunk, sizeof chunk);
    if (got <= 0)
        return false;
    pending_.append(chunk, static_cast<size_t>(got));
    return true;
}

std::string ChildProcess::readLine(std::chrono::milliseconds bound)
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

std::string ChildProcess::readAll(std::chrono::milliseconds bound)
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

int ChildProcess::wait(std::chrono::milliseconds bound)
{
    if (!started() || exited_)
        return -1;
    // The child's end as an event that poll can wait for within the bound.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    pollfd ended{pidFd, POLLIN, 0};
    const bool inTime = pidFd >= 0 && ::poll(&ended, 1, static_cast<int>(bound.count())) == 1;
    if (pidFd >= 0)
        ::close(pidFd);
    if (!inTime)
        ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exited_ = true;
    return inTime && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kestrixtest
