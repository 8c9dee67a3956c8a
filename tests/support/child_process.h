// Real programs run by the end-to-end tests: started with their arguments,
// environment and working directory, their standard input and output on pipes
// held by the test, every wait bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Clock = std::chrono::steady_clock;

class ChildProcess {
public:
    // Starts `program` with `arguments`. `environment`, when given, is all the
    // program sees of one; otherwise it has the test's. It runs in `workDir`,
    // or in the test's directory when that is empty.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::optional<std::vector<std::string>>& environment = std::nullopt,
                 const std::filesystem::path& workDir = {});
    // Ends a program still running: SIGTERM, after a bound SIGKILL.
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // Output up to the next line end (without it); empty when none came
    // within `bound`.
    std::string readLine(Clock::duration bound);
    // All output until the program closes it, or what came within `bound`.
    std::string readAll(Clock::duration bound);

    // Ends the program's standard input.
    void closeInput();
    void signal(int number);
    // The exit code, -1 when the program ended otherwise; nothing when it did
    // not end within `bound` (it goes on running then).
    std::optional<int> wait(Clock::duration bound);

private:
    bool readSome(Clock::time_point deadline);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    bool reaped_ = false;
    std::string pending_;
};

struct Outcome {
    std::string output;
    // Exit code, or -1 when the program did not exit normally.
    int status = -1;
    Clock::duration elapsed{};
};

// Runs `program` in `directory` with exactly the environment `env`, its input
// ended at once, and collects its standard output until it closes. A program
// still running after `bound` is killed and the test fails.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& env, const std::filesystem::path& directory,
                   Clock::duration bound);

} // namespace testsupport
