// The store under load and abuse: installers racing each other, keys and
// stores larger than the system allows, and store files that cannot be read.
#include "modem_fixture.h"
#include "win/registry.h"
#include "zantal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <thread>

namespace zantal_test {
namespace {

using namespace win;
namespace fs = std::filesystem;

std::string deepPath(size_t levels)
{
    std::string path = "k";
    for (size_t i = 1; i < levels; ++i)
        path += "\\k";
    return path;
}

// Waits for `work` with a bound; past it, every wait on the FIFO is ended
// by a writer coming and going (so that a hang fails the test instead of
// hanging it), and false is returned.
template <class T>
bool readyWithoutWaitingOn(std::future<T>& work, const std::string& fifo)
{
    bool waited = false;
    while (work.wait_for(std::chrono::seconds(waited ? 1 : 20)) != std::future_status::ready) {
        waited = true;
        close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    return !waited;
}

class ReliabilityTest : public ModemStoreTest {
protected:
    std::string storeFile() const { return root() + "/registry.txt"; }

    int32_t install(const char* id, const std::string& inf = {})
    {
        uint32_t speed = 115200;
        char friendly[260];
        return ZANTAL_InstallModem((inf.empty() ? infPath() : inf).c_str(), 0, id, "COM3", &speed,
                                   friendly);
    }
};

TEST_F(ReliabilityTest, ConcurrentInstallsGiveOneDevicePerSuccess)
{
    // Processes of two threads each, all installing at once.
    constexpr int kProcesses = 4;
    constexpr int kThreads = 2;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::atomic<int> successes{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&] { successes += install("ZNT_GSM_A"); });
            for (auto& t : threads)
                t.join();
            _exit(successes.load());
        }
        children.push_back(pid);
    }
    int successes = 0;
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        successes += WEXITSTATUS(status);
    }

    EXPECT_EQ(successes, kProcesses * kThreads)
        << "the lock is bounded far above what an install holds it";
    const auto ids = presentModems();
    EXPECT_EQ(ids.size(), static_cast<size_t>(successes));
    std::set<std::string> names, drivers;
    for (const std::string& id : ids) {
        names.insert(deviceKey(id).string("FriendlyName").value_or(""));
        drivers.insert(deviceKey(id).string("Driver").value_or(""));
    }
    EXPECT_EQ(names.size(), ids.size()) << "every friendly name is unique";
    EXPECT_EQ(drivers.size(), ids.size()) << "every device has a driver key of its own";
    RegKey shared =
        RegKey::open(HKEY_LOCAL_MACHINE, std::string(kResponses) + "\\" + kSampleResponses);
    EXPECT_EQ(shared.dword("RefCount"), static_cast<DWORD>(ids.size()));

    // Removing them all at once, each by its own name, leaves neither
    // devices nor the shared key their count kept.
    std::vector<std::thread> removers;
    for (const std::string& name : names)
        removers.emplace_back(
            [name] { EXPECT_EQ(ZANTAL_DeinstallModemByFriendlyName(name.c_str()), 1); });
    for (auto& t : removers)
        t.join();
    EXPECT_TRUE(presentModems().empty());
    EXPECT_FALSE(RegKey::open(HKEY_LOCAL_MACHINE, std::string(kResponses) + "\\" + kSampleResponses)
                     .valid());
}

TEST_F(ReliabilityTest, KeyDeeperThanTheSystemAllowsFailsTheInstallAndNothingElse)
{
    writeFile(root() + "/inf/deep.inf", std::string(R"INF([Version]
Signature = "$Windows NT$"
Class = Modem
Provider = Deep
[Manufacturer]
Deep = Models
[Models]
Deep Modem = Deep, ZNT_DEEP
[Deep]
AddReg = Deep.AddReg
[Deep.AddReg]
HKR,,DCB,1, 1C,00,00,00, 00,E1,00,00
HKR,")INF") + deepPath(600) + "\",Leaf,,\"x\"\n");
    EXPECT_EQ(install("ZNT_DEEP", root() + "/inf/deep.inf"), 0);
    EXPECT_EQ(presentModems().size(), 1u)
        << "registered before the class installer ran, as on the host";
    EXPECT_LT(fs::file_size(storeFile()), 64u << 10) << "the refused AddReg left nothing behind";

    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, deepPath(511).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, deepPath(512).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_BADKEY);
    // Each key holds its own name and depth, not the path above it.
    EXPECT_LT(fs::file_size(storeFile()), 64u << 10);
    EXPECT_EQ(install("ZNT_GSM_A"), 1) << "the store stays usable";
}

TEST_F(ReliabilityTest, StoreIsNeverWrittenLargerThanItsReaderTakes)
{
    // Zero bytes take three characters each in the file.
    const std::string megabyte(1u << 20, '\0');
    {
        RegTransaction writing(true);
        ASSERT_EQ(writing.status(), ERROR_SUCCESS);
        RegKey big = key("Big");
        for (int i = 0; i < 21; ++i)
            ASSERT_TRUE(big.setRaw(("v" + std::to_string(i)).c_str(), REG_BINARY, megabyte));
        ASSERT_EQ(writing.commit(), ERROR_SUCCESS);
    }
    const auto written = fs::file_size(storeFile());
    EXPECT_GT(written, 63u << 20);

    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Big", 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(k, "one more", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(megabyte.data()),
                             static_cast<DWORD>(megabyte.size())),
              ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_EQ(RegSetValueExA(k, "too big", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(megabyte.data()),
                             static_cast<DWORD>(megabyte.size() + 1)),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fs::file_size(storeFile()), written);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(k, "v20", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u << 20);
    RegCloseKey(k);
}

TEST_F(ReliabilityTest, StoreOfTheFirstFormIsStillRead)
{
    writeFile(
        storeFile(),
        "ZANTAL-REGISTRY 1\nkey :HKLM\\Software\\Old\nval 1 :Name :v%00\nkey :HKLM\\Software\n");
    EXPECT_EQ(RegKey::open(HKEY_LOCAL_MACHINE, "Software\\Old").string("Name"), "v");
    key("Software\\New").setDword("n", 1);
    EXPECT_EQ(RegKey::open(HKEY_LOCAL_MACHINE, "software\\old").string("Name"), "v");
    EXPECT_EQ(RegKey::open(HKEY_LOCAL_MACHINE, "Software").subkeys(),
              (std::vector<std::string>{"New", "Old"}));
}

TEST_F(ReliabilityTest, FifoAmongTheInfFilesIsPassedOver)
{
    const std::string fifo = root() + "/inf/odd.inf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto results = std::async(std::launch::async, [&] {
        return std::make_pair(install("ZNT_GSM_A", fifo), install("ZNT_GSM_A"));
    });
    EXPECT_TRUE(readyWithoutWaitingOn(results, fifo)) << "an install waits on the FIFO";
    EXPECT_EQ(results.get(), std::make_pair(0, 1));
}

// Each way a store file can be unusable, against every export that reads
// the store: none may take it for an empty store, change it or hang on it.
TEST_F(ReliabilityTest, UnreadableStoreFailsEveryExportThatNeedsIt)
{
    addTty("ttyS0", "4");
    const std::string healthy = storeFile() + ".healthy";
    quickInstall("ZNT_GSM_A");
    fs::copy_file(storeFile(), healthy);
    const auto healthySize = fs::file_size(healthy);

    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> forms = {
        {"random bytes",
         [](const std::string& f) {
             std::string bytes;
             for (unsigned i = 0, x = 7; i < 4096; ++i)
                 bytes += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
             writeFile(f, bytes);
         }},
        {"truncated",
         [&](const std::string& f) {
             fs::copy_file(healthy, f);
             fs::resize_file(f, healthySize / 2 + 3);
         }},
        {"bad escape",
         [](const std::string& f) {
             writeFile(f, "ZANTAL-REGISTRY 2\nkey 1 :HKLM\nval 1 :a :%ZZ\n");
         }},
        {"directory", [](const std::string& f) { fs::create_directory(f); }},
        {"/dev/zero", [](const std::string& f) { fs::create_symlink("/dev/zero", f); }},
        {"oversized",
         [](const std::string& f) {
             writeFile(f, "ZANTAL-REGISTRY 2\n");
             fs::resize_file(f, (64u << 20) + 1);
         }},
        {"FIFO", [](const std::string& f) { ASSERT_EQ(mkfifo(f.c_str(), 0600), 0); }},
    };
    for (const auto& [form, make] : forms) {
        SCOPED_TRACE(form);
        fs::remove_all(storeFile());
        make(storeFile());
        auto exports = std::async(std::launch::async, [] {
            std::vector<int32_t> results;
            char buffer[260] = "untouched";
            int32_t count = -1;
            ZANTAL_FindAllHardwarePorts(buffer, sizeof buffer, &count);
            results.push_back(count);
            results.push_back(ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", buffer));
            results.push_back(ZANTAL_GetMaximumPortSpeedByFriendlyName("Sample GSM Modem", buffer));
            uint32_t speed = 115200;
            results.push_back(ZANTAL_InstallModem(
                (std::string(getenv("ZANTAL_ROOT")) + "/inf/sample.inf").c_str(), 0, "ZNT_GSM_A",
                "COM3", &speed, buffer));
            results.push_back(ZANTAL_DeinstallModemByID("ZNT_GSM_A"));
            results.push_back(ZANTAL_DeinstallModemByFriendlyName("Sample GSM Modem"));
            return results;
        });
        EXPECT_TRUE(readyWithoutWaitingOn(exports, storeFile())) << "an export waits on the store";
        EXPECT_EQ(exports.get(), (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));
    }

    // The same exports over the healthy store, so the zeros above mean
    // something.
    fs::remove(storeFile());
    fs::copy_file(healthy, storeFile());
    char buffer[260];
    int32_t count = 0;
    ZANTAL_FindAllHardwarePorts(buffer, sizeof buffer, &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", buffer), 0)
        << "no AttachedTo written";
    EXPECT_EQ(ZANTAL_DeinstallModemByID("ZNT_GSM_A"), 1);
    EXPECT_TRUE(presentModems().empty());
}

} // namespace
} // namespace zantal_test
