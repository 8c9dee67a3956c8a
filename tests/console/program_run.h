// Runs of real programs for the end-to-end tests: one run to its end with its
// output collected, or a program kept running beside the test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace consoletest {

using Clock = std::chrono::steady_clock;

struct Outcome {
    std::string output;
    // Exit code, or -1 when the program did not exit normally.
    int status = -1;
    Clock::duration elapsed{};
};

// Runs `program` in `directory` with exactly the environment `env` and
// collects its standard output until it closes. A program still running
// after `bound` is killed and the test fails.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& env, const std::filesystem::path& directory,
                   Clock::duration bound);

// A program running beside the test, with the test's environment. Its
// standard input is a pipe the test holds, so a program that ends when its
// input ends also ends with the test process; its output is read line by
// line. The destructor ends it (SIGTERM, after a bound SIGKILL).
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool started() const { return pid_ > 0; }
    // The next output line without its line end; empty when none came within
    // `bound`.
    std::string nextLine(Clock::duration bound);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

} // namespace consoletest
