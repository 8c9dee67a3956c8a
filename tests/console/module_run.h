// The real vornax against the real cfcsim program on a pseudo-terminal: the
// simulator is started with the options of the case, COM3 is mapped to its
// terminal, and vornax runs in a fresh directory with its trace file on.
#pragma once

#include "child_process.h"
#include "ordered_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace consoletest {

using testsupport::ChildProcess;
using testsupport::Clock;
using testsupport::inOrder;
using testsupport::Outcome;
using testsupport::runProgram;

inline constexpr const char* kSuccess = "AutoExec successfully switched off\n";
inline constexpr int kFailureStatus = 255; // exit(-1) as a POSIX parent sees it

class VornaxWithModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vornax-module-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        if (HasFailure())
            std::cout << "trace of the run:\n" << rawTrace();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Runs `vornax arguments...` against a module simulated with
    // `moduleOptions`; `bound` is where a run counts as hung.
    Outcome run(const std::vector<std::string>& moduleOptions,
                const std::vector<std::string>& arguments,
                Clock::duration bound = std::chrono::seconds(60))
    {
        ChildProcess module(CFCSIM_PATH, moduleOptions);
        if (!module.started()) {
            ADD_FAILURE() << "cannot start " << CFCSIM_PATH;
            return {};
        }
        // The simulator names its terminal first; a slow start on a loaded
        // machine is still far below this bound.
        const std::string terminal = module.readLine(std::chrono::seconds(10));
        if (terminal.empty()) {
            ADD_FAILURE() << "the simulator named no terminal";
            return {};
        }
        const std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "CFC_TRACE_INI=" + (dir_ / "cfctrace.ini").string(),
            "CFC_COM3=" + terminal,
            "CFC_TRACE=1",
        };
        return runProgram(VORNAX_PATH, arguments, env, dir_, bound);
    }

    // The directory vornax runs in, with its settings file and its output.
    const std::filesystem::path& dir() const { return dir_; }

    // The trace file's texts without their time stamps.
    std::vector<std::string> trace() const
    {
        std::vector<std::string> texts;
        std::ifstream in(dir_ / "tracefiles" / "tracefile.txt");
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t end = line.find("] ");
            texts.push_back(end == std::string::npos ? line : line.substr(end + 2));
        }
        return texts;
    }

private:
    std::string rawTrace() const
    {
        std::ifstream in(dir_ / "tracefiles" / "tracefile.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path dir_;
};

} // namespace consoletest
