// Connection handles, slots, open failures and close.
#include "cfc.h"
#include "cfc_connection.h"
#include "gwcoml1.h"
#include "gwcoml3.h"
#include "test_support.h"

#include "plat/serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace cfctest;

namespace {

// Closes a connection when a test ends, also when an assertion ended it early.
struct CloseAtEnd {
    uint32_t handle;
    ~CloseAtEnd() { WComClose(handle); }
};

TEST(ConnectionHandle, SlotsFollowThePortNumberAndCarryThePattern)
{
    VirtualComPort com1(1, "conn-com1");
    VirtualComPort com45(45, "conn-com45");

    const uint32_t h1 = WComOpen(0, 0, 0); // port 0 means COM1 at 115200
    CloseAtEnd c1{h1};
    EXPECT_EQ(h1, 0xCFC01CFCu);
    EXPECT_EQ(com1.device().lineState().settings.baudRate, 115200u);

    const uint32_t h45 = WComOpen(45, 115200, 0);
    CloseAtEnd c45{h45};
    EXPECT_EQ(h45, 0xCFC1FCFCu);
    EXPECT_TRUE(com45.device().lineState().hostOpen) << "port 45 opens COM45 itself";

    // Every port from 31 up shares slot 31, which is taken now.
    EXPECT_EQ(WComOpen(31, 115200, 0), 0u);
    EXPECT_EQ(WGetLastError(h45), EMMIERR_PORT_IN_USE);
}

TEST(ConnectionHandle, ValuesWithoutThePatternOrOutsideTheTableAreRefused)
{
    for (uint32_t bad : {0u, 0x12345678u, 0xCFC01CFDu, 0xCFC20CFCu, 0xCFCFFCFCu}) {
        EXPECT_EQ(WGetLastError(bad), EMMIERR_BAD_HANDLE) << std::hex << bad;
        EXPECT_EQ(WComClose(bad), 0) << std::hex << bad;
        EXPECT_EQ(WInitServiceMode(bad), 0);
    }
    // The level operations do not test the pattern but must stay in the table.
    EXPECT_EQ(WGetTraceLevel(0xCFCFFCFCu), 0u);
    EXPECT_EQ(WSetTraceLevel(0xCFCFFCFCu, 3), 0xCFCFFCFCu);
    EXPECT_EQ(WGetVersion(), 0x00014000u);
}

TEST(ConnectionOpen, NegativePortIsRefusedWithoutTouchingAnySlot)
{
    std::array<uint16_t, cfc::kSlotCount> errors{};
    for (size_t i = 0; i < cfc::kSlotCount; ++i)
        errors[i] = cfc::ConnectionAt(i).lastError();
    ScopedTempCwd cwd;
    WEnableTraceFile();
    EXPECT_EQ(WComOpen(-3, 115200, 0), 0u);
    WDisableTraceFile();
    for (size_t i = 0; i < cfc::kSlotCount; ++i) {
        EXPECT_EQ(cfc::ConnectionAt(i).lastError(), errors[i]) << "slot " << i;
        EXPECT_FALSE(cfc::ConnectionAt(i).isOpen()) << "slot " << i;
    }
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: bad port -3, error 3"));
}

TEST(ConnectionOpen, SecondOpenOfAnOpenPortFailsAndLeavesTheFirstWorking)
{
    VirtualComPort com(4, "conn-twice");
    const uint32_t h = WComOpen(4, 115200, 0);
    CloseAtEnd c{h};
    ASSERT_NE(h, 0u);
    EXPECT_EQ(WComOpen(4, 115200, 0), 0u);
    EXPECT_EQ(WGetLastError(h), EMMIERR_PORT_IN_USE);
    EXPECT_EQ(WGetLastError(h), EMMIERR_PORT_IN_USE) << "reading does not clear it";

    const uint8_t bytes[] = {'p', 'i', 'n', 'g'};
    EXPECT_EQ(cfc::EmmiL1Write(cfctest::connectionOf(h).serial, bytes, sizeof bytes), EMMIERR_OK);
    uint8_t seen[4] = {};
    EXPECT_EQ(com.device().read(seen, sizeof seen, 2000), sizeof seen);
    EXPECT_EQ(std::string(seen, seen + 4), "ping");
}

// The last failed open as the public interface reports it.
struct OpenFailureSeen {
    int32_t kind = -1;
    int32_t port = 0;
    int32_t sysError = 0;
    std::string path;
    std::string reason;
};

OpenFailureSeen lastOpenFailure()
{
    OpenFailureSeen seen;
    char path[64];
    char reason[64];
    seen.kind =
        WGetLastOpenFailure(&seen.port, &seen.sysError, path, sizeof path, reason, sizeof reason);
    seen.path = path;
    seen.reason = reason;
    return seen;
}

TEST(ConnectionOpen, PortThatDoesNotExistGivesCode4AndTheSystemsReason)
{
    ScopedEnv env("CFC_COM6", "/dev/cfc-no-such-port");
    ScopedTempCwd cwd;
    WEnableTraceFile();
    EXPECT_EQ(WComOpen(6, 115200, 0), 0u);
    WDisableTraceFile();
    EXPECT_EQ(WGetLastError(cfc::HandleForSlot(6)), EMMIERR_PORT_OPEN);
    EXPECT_FALSE(cfc::ConnectionAt(6).isOpen());

    const std::vector<std::string> texts = traceTexts();
    EXPECT_TRUE(contains(texts, "(CFC ) WComOpen: EmmiL1CommsOpen fails with error 4"));
    EXPECT_TRUE(contains(
        texts, "(CFC ) WComOpen: COM6 is /dev/cfc-no-such-port: No such file or directory"));
    const OpenFailureSeen seen = lastOpenFailure();
    EXPECT_EQ(seen.kind, CFC_OPEN_NO_DEVICE);
    EXPECT_EQ(seen.port, 6);
    EXPECT_EQ(seen.sysError, ENOENT);
    EXPECT_EQ(seen.path, "/dev/cfc-no-such-port");
    EXPECT_EQ(seen.reason, "No such file or directory");

    // Texts are cut to the caller's sizes and stay terminated.
    char shortPath[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(WGetLastOpenFailure(nullptr, nullptr, shortPath, sizeof shortPath, nullptr, 0),
              CFC_OPEN_NO_DEVICE);
    EXPECT_STREQ(shortPath, "/dev");
}

TEST(ConnectionOpen, ADeviceTheUserMayNotOpenIsNamedWithPermissionDenied)
{
    ScopedTempCwd cwd;
    const std::string device = (cwd.path() / "ttyForbidden").string();
    const int fd = ::open(device.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ::chmod(device.c_str(), 0);
    ::chmod(cwd.path().c_str(), 0755);
    // Root may open anything, so the open runs as nobody in a child of its own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(2);
        ::setenv("CFC_COM9", device.c_str(), 1);
        if (WComOpen(9, 115200, 0) != 0)
            ::_exit(3);
        char path[256];
        char reason[64];
        const int32_t kind =
            WGetLastOpenFailure(nullptr, nullptr, path, sizeof path, reason, sizeof reason);
        const bool named =
            kind == CFC_OPEN_DENIED && device == path && std::string(reason) == "Permission denied";
        ::_exit(named ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: cannot drop root, 3: opened, 4: other reason";
}

TEST(ConnectionOpen, NoDescriptorForTheCancelEventFailsTheOpenWithTheReason)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own at the limit";
#endif
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string path = ::ptsname(master);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("CFC_COM10", path.c_str(), 1);
        // Room for exactly one more descriptor: the port's.
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        const rlimit limit{static_cast<rlim_t>(lowestFree + 1),
                           static_cast<rlim_t>(lowestFree + 1)};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            ::_exit(2);
        const uint32_t handle = WComOpen(10, 115200, 0);
        if (handle != 0)
            ::_exit(3);
        char reason[64];
        WGetLastOpenFailure(nullptr, nullptr, nullptr, 0, reason, sizeof reason);
        const bool named = WGetLastError(cfc::HandleForSlot(10)) == EMMIERR_SYSTEM &&
                           std::string(reason) == "Too many open files";
        ::_exit(named ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: no limit, 3: opened, 4: other reason";
}

TEST(ConnectionOpen, PortMappedToNothingAndASlotInUseAreNamedAsSuch)
{
    ScopedEnv env("CFC_COM97", "");
    ScopedEnv config("XDG_CONFIG_HOME", "/nonexistent-cfc-config");
    EXPECT_EQ(WComOpen(97, 115200, 0), 0u);
    OpenFailureSeen seen = lastOpenFailure();
    EXPECT_EQ(seen.kind, CFC_OPEN_NO_DEVICE);
    EXPECT_EQ(seen.port, 97);
    EXPECT_EQ(seen.path, "");

    VirtualComPort com(8, "conn-in-use");
    const uint32_t h = WComOpen(8, 115200, 0);
    CloseAtEnd c{h};
    ASSERT_NE(h, 0u);
    EXPECT_EQ(WComOpen(8, 115200, 0), 0u);
    seen = lastOpenFailure();
    EXPECT_EQ(seen.kind, CFC_OPEN_SLOT_IN_USE);
    EXPECT_EQ(seen.port, 8);
}

TEST(ConnectionOpen, PortHeldByAnotherProcessGivesCode4)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string path = ::ptsname(master);
    int ready[2];
    int done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int error = 0;
        auto held = plat::openSerialPort(path, &error);
        const char mark = held ? 'y' : 'n';
        (void)!::write(ready[1], &mark, 1);
        char go;
        (void)!::read(done[0], &go, 1);
        ::_exit(0);
    }
    char mark = 0;
    ASSERT_EQ(::read(ready[0], &mark, 1), 1);
    ASSERT_EQ(mark, 'y') << "the child could not hold the port";
    {
        ScopedEnv env("CFC_COM7", path);
        EXPECT_EQ(WComOpen(7, 115200, 0), 0u);
        EXPECT_EQ(WGetLastError(cfc::HandleForSlot(7)), EMMIERR_PORT_OPEN);
        const OpenFailureSeen seen = lastOpenFailure();
        EXPECT_EQ(seen.kind, CFC_OPEN_BUSY);
        EXPECT_EQ(seen.path, path);
        EXPECT_EQ(seen.reason, "Device or resource busy");
    }
    (void)!::write(done[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);

    // Once the other process let go, the same port opens.
    ScopedEnv env("CFC_COM7", path);
    const uint32_t h = WComOpen(7, 115200, 0);
    CloseAtEnd c{h};
    EXPECT_EQ(h, cfc::HandleForSlot(7));
    EXPECT_EQ(WComClose(h), 1);
    for (int fd : {master, ready[0], ready[1], done[0], done[1]})
        ::close(fd);
}

TEST(ConnectionClose, ClosingASlotThatIsNotOpenDoesNothing)
{
    VirtualComPort com(8, "conn-close");
    EXPECT_EQ(WComClose(cfc::HandleForSlot(9)), 0) << "never opened";
    const uint32_t h = WComOpen(8, 115200, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(WComClose(h), 1);
    EXPECT_FALSE(com.device().lineState().hostOpen);
    EXPECT_EQ(WComClose(h), 0) << "second close";
    // The slot opens again after a close.
    const uint32_t again = WComOpen(8, 115200, 0);
    CloseAtEnd c{again};
    EXPECT_EQ(again, h);
}

TEST(ConnectionClose, EndsTheWaitingReceiveThreadAtOnceAlsoOnAVanishedLine)
{
    VirtualComPort com(10, "conn-hangup");
    for (bool hangUp : {false, true}) {
        const uint32_t h = WComOpen(10, 115200, 0);
        ASSERT_NE(h, 0u);
        if (hangUp)
            com.device().hangUp();
        // The receive thread waits in a read bounded by 10 s.
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(WComClose(h), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
            << (hangUp ? "after hang-up" : "idle line");
    }
}

TEST(ConnectionClose, PurgesQueuedMessagesWithOneLineEach)
{
    VirtualComPort com(11, "conn-purge");
    ScopedTempCwd cwd;
    const uint32_t h = WComOpen(11, 115200, 0);
    ASSERT_NE(h, 0u);
    const uint8_t data[] = {1, 2, 3};
    cfc::EmmiL3AddToRxQueue(cfctest::connectionOf(h).messages, 0x10, data, sizeof data);
    cfc::EmmiL3AddToRxQueue(cfctest::connectionOf(h).messages, 0x10, data,
                            sizeof data); // a repeat is purged too
    WEnableTraceFile();
    EXPECT_EQ(WComClose(h), 1);
    WDisableTraceFile();
    const auto texts = traceTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "(CFC ) WComClose: Purge the Rx Queue..."), 2);
    EXPECT_EQ(texts.back(), "(CFC ) WComClose: O.K.");
}

} // namespace
