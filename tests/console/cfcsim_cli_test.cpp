// cfcsim as a user meets it from the console: its help says how to point
// vornax at it and what a pseudo-terminal cannot carry, and a mistyped option
// costs one line, not the whole usage.
#include "child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::Outcome;
using testsupport::runProgram;

constexpr auto kBound = std::chrono::seconds(10);

class CfcsimCommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "cfcsim-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Standard output as the outcome, standard error into errors().
    Outcome run(const std::string& argument)
    {
        return runProgram(
            "/bin/sh", {"-c", R"(exec "$0" "$@" 2>stderr.txt </dev/null)", CFCSIM_PATH, argument},
            {}, dir_, kBound);
    }

    std::string errors() const
    {
        std::ifstream in(dir_ / "stderr.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    fs::path dir_;
};

TEST_F(CfcsimCommandLine, WrongOptionCostsOneLineWithAPointerToHelp)
{
    for (const char* argument : {"--mode=on", "--frobnicate", "--drop-frame=some"}) {
        const Outcome outcome = run(argument);
        EXPECT_EQ(outcome.status, 2) << argument;
        EXPECT_EQ(outcome.output, "") << argument;
        const std::string text = errors();
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
        EXPECT_NE(text.find(argument), std::string::npos) << text;
        EXPECT_NE(text.find("cfcsim --help"), std::string::npos) << text;
    }
}

TEST_F(CfcsimCommandLine, HelpSaysHowToUseItWithVornaxAndWhatAPtyLacks)
{
    const Outcome outcome = run("--help");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.output.find("CFC_COM3=/dev/pts/4 vornax com3"), std::string::npos)
        << outcome.output;
    EXPECT_NE(outcome.output.find("A pseudo-terminal has no modem lines"), std::string::npos)
        << outcome.output;
    EXPECT_EQ(errors(), "");
}

} // namespace
