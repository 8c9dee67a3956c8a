// A program run by a test: its own environment, standard input and output on
// pipes held by the test, killed when the test lets go of it early.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestrixtest {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& workDir);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // Output up to the next line end (without it); empty when none came
    // within the bound.
    std::string readLine(std::chrono::milliseconds bound);
    // All output until the program closes it, or what came within the bound.
    std::string readAll(std::chrono::milliseconds bound);

    // Ends the program's standard input.
    void closeInput();
    // The exit code, or -1 when it did not exit by itself within the bound
    // (it is killed then).
    int wait(std::chrono::milliseconds bound);

private:
    bool readSome(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    bool exited_ = false;
    std::string pending_;
};

} // namespace kestrixtest
