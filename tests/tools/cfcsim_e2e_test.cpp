// Runs the real cfcsim program: its first output line names the terminal, a
// host on that terminal is answered, and it ends when told to.
#include "harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace simtest {
namespace {

constexpr int kBoundMs = 10000;

// cfcsim with its standard input and output on pipes held by the test.
class Program {
public:
    explicit Program(std::vector<std::string> arguments)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        arguments.insert(arguments.begin(), CFCSIM_PATH);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, CFCSIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }

    ~Program()
    {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeInput();
        ::close(output_);
    }

    bool started() const { return pid_ > 0; }

    // Output up to the first line end, or what came within the bound.
    std::string firstLine()
    {
        std::string line;
        char c = 0;
        pollfd readable{output_, POLLIN, 0};
        while (::poll(&readable, 1, kBoundMs) == 1 && ::read(output_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    void closeInput()
    {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }

    void signal(int number) { ::kill(pid_, number); }

    // Exit status, or -1 when the program did not end within the bound.
    int exitStatus()
    {
        // Through syscall(): this glibc's own pidfd_open header lacks C linkage.
        const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        pollfd readable{ended, POLLIN, 0};
        const bool done = ended >= 0 && ::poll(&readable, 1, kBoundMs) == 1;
        ::close(ended);
        int status = 0;
        if (!done || ::waitpid(pid_, &status, 0) != pid_)
            return -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int status_ = -1;
};

TEST(CfcsimProgram, ServesATerminalUntilItsInputEnds)
{
    Program program({"--mode=emmi"});
    ASSERT_TRUE(program.started());
    const std::string path = program.firstLine();
    ASSERT_FALSE(path.empty());
    {
        HostEnd host(path);
        ASSERT_TRUE(host.isOpen());
        host.send(frameOf({0x01, 0x02}));
        EXPECT_EQ(host.receiveByte(), 0x06);
    }
    program.closeInput();
    EXPECT_EQ(program.exitStatus(), 0);
}

TEST(CfcsimProgram, EndsAtSigtermAndStaysSilentWhenOff)
{
    Program program({"--mode=off"});
    ASSERT_TRUE(program.started());
    const std::string path = program.firstLine();
    ASSERT_FALSE(path.empty());
    {
        HostEnd host(path);
        ASSERT_TRUE(host.isOpen());
        host.send(frameOf({0x01}));
        EXPECT_EQ(host.receiveByte(300), std::nullopt);
    }
    program.signal(SIGTERM);
    EXPECT_EQ(program.exitStatus(), 0);
}

TEST(CfcsimProgram, StartsInAtModeAndSwitchesToEmmi)
{
    Program program({});
    ASSERT_TRUE(program.started());
    const std::string path = program.firstLine();
    ASSERT_FALSE(path.empty());
    HostEnd host(path);
    ASSERT_TRUE(host.isOpen());

    host.send(bytesOf("at^sqwe=1\r"));
    EXPECT_EQ(host.receive(16), bytesOf("at^sqwe=1\r\r\nOK\r\n"));
    host.send(kEmmiProbe);
    EXPECT_EQ(host.receiveByte(), kNak);
}

TEST(CfcsimProgram, RefusesUnknownOptionsAndValues)
{
    for (const char* argument : {"--corrupt-bcc=some", "--mode=on", "--boot-version=1",
                                 "--autostart-result=256", "--never-silent=yes", "--mode"}) {
        Program program({argument});
        ASSERT_TRUE(program.started());
        EXPECT_EQ(program.exitStatus(), 2) << argument;
    }
}

} // namespace
} // namespace simtest
