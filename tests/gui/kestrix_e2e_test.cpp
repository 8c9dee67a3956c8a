// Runs the real kestrix binary, offscreen, against the module simulator on a
// pseudo-terminal. The program is unchanged: a driver preloaded into it uses
// Qt's test tools on its windows as a user would and reports on standard
// output (see kestrix_driver.cpp). Every port but the simulator's leads
// nowhere, so no run touches a real device.
#include "child_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrixtest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProcess;

// Far beyond a switch-off against the simulator (or a failed one with no
// module answering), even on a loaded machine.
constexpr auto runBound = std::chrono::milliseconds(180s);
constexpr auto startBound = std::chrono::milliseconds(20s);
constexpr int simulatorPort = 3;

class Kestrix : public ::testing::Test {
protected:
    void TearDown() override { simulator_.reset(); }

    // The simulator's terminal path, empty when it did not start.
    std::string startSimulator(const std::vector<std::string>& arguments)
    {
        simulator_ =
            std::make_unique<ChildProcess>(CFCSIM_PATH, arguments, baseEnvironment(), dir_);
        return simulator_->started() ? simulator_->readLine(startBound) : std::string();
    }

    // Runs kestrix with the driver told what to do; COM3 leads to `port3`.
    std::string runKestrix(const std::string& drive, const std::string& port3, int* status)
    {
        std::vector<std::string> env = baseEnvironment();
        for (int port = 1; port <= 99; ++port) {
            const std::string path =
                port == simulatorPort ? port3 : (dir_ / "no-such-port").string();
            env.push_back("CFC_COM" + std::to_string(port) + "=" + path);
        }
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("LD_PRELOAD=" + std::string(DRIVER_PATH));
        env.push_back("KESTRIX_DRIVE=" + drive);
        ChildProcess kestrix(KESTRIX_PATH, {}, env, dir_.string());
        EXPECT_TRUE(kestrix.started());
        const std::string output = kestrix.readAll(runBound);
        *status = kestrix.wait(startBound).value_or(-1);
        return output;
    }

    TempDir temp_{"kestrix-e2e"};
    const fs::path& dir_ = temp_.path();

private:
    std::vector<std::string> baseEnvironment() const
    {
        std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "XDG_RUNTIME_DIR=" + dir_.string(),
            "CFC_TRACE_INI=" + (dir_ / "cfctrace.ini").string(),
        };
        if (const char* path = std::getenv("PATH"))
            env.push_back(std::string("PATH=") + path);
        return env;
    }

    std::unique_ptr<ChildProcess> simulator_;
};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(Kestrix, SwitchesAutoExecOffFromTheWindow)
{
    const std::string terminal = startSimulator({});
    ASSERT_FALSE(terminal.empty()) << "the simulator did not start";

    int status = -1;
    const std::string output = runKestrix("switch-off:COM3", terminal, &status);
    EXPECT_TRUE(contains(output, "driver: ports COM3\n")) << output;
    EXPECT_TRUE(contains(output, "driver: selected COM3\n")) << output;
    EXPECT_TRUE(contains(output, "driver: running: AutoExec Off disabled, busy cursor\n"))
        << output;
    EXPECT_TRUE(contains(
        output, "driver: message box \"Disable AutoExec\": AutoExec successfully switched off\n"))
        << output;
    EXPECT_TRUE(contains(output, "driver: closing\n")) << output;
    EXPECT_EQ(status, 0) << output;
}

TEST_F(Kestrix, SilentModuleShowsCannotConnectWhileTheWindowGoesOn)
{
    const std::string terminal = startSimulator({"--mode=off"});
    ASSERT_FALSE(terminal.empty()) << "the simulator did not start";

    int status = -1;
    const std::string output = runKestrix("switch-off:COM3", terminal, &status);
    EXPECT_TRUE(contains(output, "driver: message box \"Error\": Cannot connect to Module\n"))
        << output;
    // The driver's timer ran on the window's thread while the library waited.
    EXPECT_FALSE(contains(output, "window handled 0 timer ticks")) << output;
    EXPECT_EQ(status, 0) << output;
}

TEST_F(Kestrix, ScreenshotsShowBothWindowsAtTheirDesignedSizes)
{
    const fs::path shots = dir_ / "shots";
    fs::create_directory(shots);
    int status = -1;
    const std::string output = runKestrix("screenshots:" + shots.string(), "", &status);
    EXPECT_EQ(status, 0) << output;
    // Grabs are of the client areas.
    EXPECT_EQ(QImage(QString::fromStdString((shots / "DisableTool.png").string())).size(),
              QSize(242, 185))
        << output;
    EXPECT_EQ(QImage(QString::fromStdString((shots / "AboutBox.png").string())).size(),
              QSize(256, 158))
        << output;
    EXPECT_FALSE(QImage(QString::fromStdString((shots / "MessageBox.png").string())).isNull())
        << output;
}

} // namespace
} // namespace kestrixtest
