// The port settings a production program keeps: where they land, what a
// read gives without them, and values from the file that do not fit.
#include "cfc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "plat/profile.h"

#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

#ifdef _WIN32

// On Windows the two live in the registry, under the current hardware
// profile, where other tools of a production PC look for them.
TEST(PortSettings, KeptInTheRegistryAndReadBack)
{
    RegDeleteKeyA(HKEY_CURRENT_CONFIG, "KVX_Library");
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "nothing stored yet";
    EXPECT_EQ(port, 1);
    EXPECT_EQ(baudRate, 115200u);

    ASSERT_EQ(WWritePortSettings(12, 9600), 1);
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 12);
    EXPECT_EQ(baudRate, 115200u) << "the speed is stored, not read back";

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "KVX_Library", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD speed = 0, type = 0, size = sizeof speed;
    EXPECT_EQ(
        RegQueryValueExA(key, "Baudrate", nullptr, &type, reinterpret_cast<BYTE*>(&speed), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(speed, 9600u);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_CONFIG, "KVX_Library");
}

#else

std::string contentsOf(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PortSettings, WrittenToTheUsersConfigAndReadBack)
{
    ScopedTempCwd dir;
    const ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "config").string());
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "nothing stored yet";
    EXPECT_EQ(port, 1);
    EXPECT_EQ(baudRate, 115200u);

    ASSERT_EQ(WWritePortSettings(7, 57600), 1);
    const auto file = dir.path() / "config" / "cfc" / "cfc.ini";
    EXPECT_EQ(contentsOf(file), "[KVX_Library]\nBaudrate=57600\nComPort=7\n");
    ASSERT_EQ(WWritePortSettings(12, 9600), 1);
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 12);
    EXPECT_EQ(baudRate, 115200u) << "the speed is stored, not read back";
    // No temporary file is left beside it; only the lock that writers of
    // other processes take.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"cfc.ini", "cfc.ini.lock"}));
}

TEST(PortSettings, ValuesThatDoNotFitAreNotTaken)
{
    ScopedTempCwd dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    std::filesystem::create_directories(dir.path() / "cfc");
    std::ofstream(dir.path() / "cfc" / "cfc.ini") << "[KVX_Library]\nComPort=300\nBaudrate=x\n";
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "a port beyond one byte";
    EXPECT_EQ(port, 1);

    std::ofstream(dir.path() / "cfc" / "cfc.ini") << "[KVX_Library]\nComPort=4\nBaudrate=x\n";
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 4);
}

// The value of `key` in the text of a settings file; empty when missing.
std::string valueIn(const std::string& text, const std::string& key)
{
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        return {};
    const size_t begin = at + key.size() + 2;
    return text.substr(begin, text.find('\n', begin) - begin);
}

TEST(PortSettings, ParallelWritersLeaveOnlyWrittenPairsAndEachOthersKeys)
{
    ScopedTempCwd dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    const auto file = dir.path() / "cfc" / "cfc.ini";
    constexpr int kWriters = 8;
    constexpr int kWrites = 25;
    std::vector<pid_t> writers;
    for (int w = 1; w <= kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Writer w always writes port w with speed 1000 * w, and once a
            // key of its own beside them.
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                ok = WWritePortSettings(static_cast<uint8_t>(w), 1000u * w) == 1 && ok;
                if (i == kWrites / 2)
                    ok = plat::writeProfileString(file.string(), "Writers", "W" + std::to_string(w),
                                                  "done") &&
                         ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        writers.push_back(pid);
    }
    // A reader meanwhile: every pair it finds is one a writer wrote.
    size_t torn = 0;
    size_t reads = 0;
    std::vector<int> exits(writers.size(), -1);
    for (bool running = true; running;) {
        running = false;
        for (size_t i = 0; i < writers.size(); ++i) {
            int status = 0;
            const pid_t ended = exits[i] == -1 ? ::waitpid(writers[i], &status, WNOHANG) : -1;
            if (ended == 0)
                running = true;
            else if (ended == writers[i])
                exits[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 99;
        }
        const std::string text = contentsOf(file);
        const std::string port = valueIn(text, "ComPort");
        const std::string speed = valueIn(text, "Baudrate");
        ++reads;
        if (port.empty() && speed.empty())
            continue;
        if (port.empty() || speed != std::to_string(1000 * std::stoi(port)))
            ++torn;
    }
    EXPECT_EQ(exits, std::vector<int>(writers.size(), 0)) << "every write succeeded";
    EXPECT_EQ(torn, 0u) << "of " << reads << " reads";
    const std::string text = contentsOf(file);
    EXPECT_EQ(valueIn(text, "Baudrate"),
              std::to_string(1000 * std::stoi(valueIn(text, "ComPort"))));
    for (int w = 1; w <= kWriters; ++w)
        EXPECT_EQ(valueIn(text, "W" + std::to_string(w)), "done") << "writer " << w;
}

#endif

} // namespace
