// Signal frames from the module written to the record file and the log,
// the simulator playing a module that reports signals.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_sigtrace.h"
#include "link_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include "plat/profile.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

using namespace cfctest;

namespace {

std::string fileText(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void putLe(Bytes& out, uint32_t v, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes recordHeader(const sim::SignalTrace& s)
{
    Bytes h;
    putLe(h, 50, 4);
    putLe(h, static_cast<uint32_t>(s.data.size() + 22), 2);
    putLe(h, s.source, 4);
    putLe(h, s.destination, 4);
    putLe(h, s.frameNumber, 4);
    putLe(h, s.time, 4);
    putLe(h, static_cast<uint32_t>(s.data.size()), 2);
    putLe(h, s.signalId, 4);
    return h;
}

class SignalTraceFiles : public ::testing::Test {
protected:
    explicit SignalTraceFiles(const sim::Options& options = {})
        : link_{kPort, "sigtrace-files", ModuleLink::Module::Simulator, options}
    {
        std::filesystem::create_directory("cfctrace");
        signals().enable.store(1);
        EXPECT_EQ(signals().claimFiles(7), 7);
    }
    ~SignalTraceFiles() override
    {
        signals().enable.store(0);
        link_.close();
    }

    cfc::SignalTrace& signals() { return cfc::ConnectionAt(kPort).signals; }
    // Every frame the module sent before this message has been handled once
    // the message is queued: the receive thread takes frames in order.
    void syncWithReceiveThread()
    {
        EXPECT_TRUE(link_.sim().sendMessage(0x4242, freshBytes(4)).get());
        EXPECT_EQ(takeMessage(link_.handle()).result, cfc::kRxQueueDelivered);
    }

    static constexpr int kPort = 21;
    ScopedTempCwd cwd_;
    ModuleLink link_;
};

TEST_F(SignalTraceFiles, SignalsAcrossFramesBecomeOneRecordAndOneLineEach)
{
    const sim::SignalTrace spanning{0x1234,     0x5678,     0x9ABCDEF0,
                                    0x11223344, 0x00010203, countingBytes(600, 9)};
    const sim::SignalTrace single{1, 2, 3, 4, 0x0901FF, Bytes{0xAA}};
    EXPECT_TRUE(link_.sim().sendSignalTrace(spanning).get());
    EXPECT_TRUE(link_.sim().sendSignalTrace(single).get());
    syncWithReceiveThread();

    const Bytes expected = concat(concat(recordHeader(spanning), spanning.data),
                                  concat(recordHeader(single), single.data));
    EXPECT_EQ(fileText("cfctrace/cfc007.flg"), textOf(expected));
    EXPECT_EQ(fileText("cfctrace/cfclog007.txt"),
              "Signal 0x10203: source 0x1234, dest 0x5678, length 0x258, FN 0x9abcdef0, "
              "time 0x11223344\r\n"
              "Signal 0x901ff: source 0x1, dest 0x2, length 0x1, FN 0x3, time 0x4\r\n");
}

TEST_F(SignalTraceFiles, NothingIsWrittenWithoutTheDirectoryOrWhenDisabled)
{
    signals().endSignal();
    std::filesystem::remove_all("cfctrace");
    EXPECT_EQ(signals().claimFiles(7), std::nullopt);
    EXPECT_TRUE(link_.sim().sendSignalTrace({1, 2, 3, 4, 5, Bytes(300, 1)}).get());
    syncWithReceiveThread();
    EXPECT_FALSE(std::filesystem::exists("cfctrace"));

    std::filesystem::create_directory("cfctrace");
    EXPECT_EQ(signals().claimFiles(7), 7);
    signals().enable.store(0);
    EXPECT_TRUE(link_.sim().sendSignalTrace({1, 2, 3, 4, 5, Bytes(300, 1)}).get());
    syncWithReceiveThread();
    EXPECT_EQ(fileText("cfctrace/cfc007.flg"), "");
    EXPECT_EQ(fileText("cfctrace/cfclog007.txt"), "");
}

TEST_F(SignalTraceFiles, FirstFrameShorterThanItsHeaderWritesNothing)
{
    Bytes frame{0xD4, 0xFF};
    frame.resize(21, 0x55);
    signals().signalFrame(frame.data(), static_cast<uint16_t>(frame.size()), false);
    EXPECT_EQ(fileText("cfctrace/cfclog007.txt"), "");
    // A continuing frame of only its two leading bytes adds no data.
    signals().signalFrame(frame.data(), 2, true);
    EXPECT_EQ(fileText("cfctrace/cfc007.flg"), "");
}

TEST_F(SignalTraceFiles, ModuleReportsTheSignalsOfItsMask)
{
    const std::string ini = (cwd_.path() / "cfctrace.ini").string();
    const ScopedEnv env("CFC_TRACE_INI", ini);
    std::ofstream(ini) << "[TestModeAddSignal]\nNumEntries=2\nSignal0=0x0300FF\nSignal1=40001\n";
    cfc::LoadSignalTraceConfig(signals(), "TestMode");
    syncWithReceiveThread();
    const auto told = link_.sim().signalTrace();
    EXPECT_EQ(told.enabled, (std::vector<uint32_t>{0x0300FF, 0x040001}));
    EXPECT_EQ(told.masksTaken, 1u);

    // Signal 0xFF spans five frames, 1 fits one. The module sends them after
    // its answer, so on a busy machine the second may still be on its way.
    const std::string first =
        "Signal 0x300ff: source 0x13, dest 0x20, length 0x404, FN 0x1, time 0xa\r\n";
    const std::string second =
        "Signal 0x40001: source 0x14, dest 0x20, length 0xc, FN 0x2, time 0x14\r\n";
    std::string log;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (true) {
        log = fileText("cfctrace/cfclog007.txt");
        if ((log.find(first) != std::string::npos && log.find(second) != std::string::npos) ||
            std::chrono::steady_clock::now() > end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(log.find(first), std::string::npos) << log;
    EXPECT_NE(log.find(second), std::string::npos) << log;
    EXPECT_EQ(fileText("cfctrace/cfc007.flg").size(), 2 * 28 + 0x404 + 0xC);
}

// A reader finds each record by its lengths; a signal the module broke off
// must not leave a record that promises more than it holds.
class SignalTraceBrokenOff : public SignalTraceFiles {
protected:
    SignalTraceBrokenOff() : SignalTraceFiles(losingLastFrameOfFirstSignal()) {}
    static sim::Options losingLastFrameOfFirstSignal()
    {
        sim::Options options;
        options.faults.dropFrame = {2, 1};
        return options;
    }
};

TEST_F(SignalTraceBrokenOff, ItsRecordSaysWhatItHolds)
{
    // Three frames each: 233, 253 and 114 data bytes; the first signal's
    // last frame never comes, so the second's first frame ends it.
    const sim::SignalTrace broken{0x13, 0x20, 1, 10, 0x0300FF, countingBytes(600, 0xFF)};
    const sim::SignalTrace whole{0x13, 0x20, 2, 20, 0x0300FE, countingBytes(600, 0xFE)};
    EXPECT_TRUE(link_.sim().sendSignalTrace(broken).get());
    EXPECT_TRUE(link_.sim().sendSignalTrace(whole).get());
    syncWithReceiveThread();

    sim::SignalTrace held = broken;
    held.data.resize(233 + 253);
    EXPECT_EQ(fileText("cfctrace/cfc007.flg"),
              textOf(concat(concat(recordHeader(held), held.data),
                            concat(recordHeader(whole), whole.data))));

    // Broken off by the close: the module switched off in the middle.
    Bytes first{0xD4, 0x00};
    first.resize(first.size() + 12); // source, destination, frame number, time
    putLe(first, 100, 2);            // the signal's length
    first.resize(first.size() + 6);  // unread, signal identifier
    const Bytes data = countingBytes(10);
    first.insert(first.end(), data.begin(), data.end());
    signals().signalFrame(first.data(), static_cast<uint16_t>(first.size()), false);
    signals().endSignal();
    const std::string records = fileText("cfctrace/cfc007.flg");
    const size_t last = 2 * 28 + held.data.size() + whole.data.size();
    ASSERT_EQ(records.size(), last + 28 + data.size());
    EXPECT_EQ(static_cast<uint8_t>(records[last + 4]), data.size() + 22);
    EXPECT_EQ(static_cast<uint8_t>(records[last + 22]), data.size());
}

// The module sends a frame again when our ACK reaches it late; the copy is
// no further data of the signal.
class SignalTraceResent : public SignalTraceFiles, public ::testing::WithParamInterface<uint32_t> {
protected:
    SignalTraceResent() : SignalTraceFiles(resending(GetParam())) {}
    static sim::Options resending(uint32_t frame)
    {
        sim::Options options;
        options.faults.repeatFrame = {frame, 1};
        return options;
    }
};

TEST_P(SignalTraceResent, IsWrittenOnce)
{
    const sim::SignalTrace spanning{0x13, 0x20, 1, 10, 0x0300FF, countingBytes(600, 0xFF)};
    EXPECT_TRUE(link_.sim().sendSignalTrace(spanning).get());
    syncWithReceiveThread();
    EXPECT_EQ(fileText("cfctrace/cfc007.flg"),
              textOf(concat(recordHeader(spanning), spanning.data)));
    const std::string log = fileText("cfctrace/cfclog007.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

// The first, a middle and the last of the signal's three frames.
INSTANTIATE_TEST_SUITE_P(Frames, SignalTraceResent, ::testing::Values(0u, 1u, 2u));

// Links, FIFOs, processes and a disk that fills up are staged with the
// POSIX calls; the Windows run covers the files' plain use above.
#ifndef _WIN32

// Frame data of a signal's first frame, `length` declared, `data` after the
// header; and of a following frame.
Bytes firstFrame(uint32_t signalId, uint16_t length, const Bytes& data)
{
    Bytes frame{0xD4, 0x00};
    putLe(frame, 0x13, 2);
    putLe(frame, 0x20, 2);
    putLe(frame, 1, 4);
    putLe(frame, 2, 4);
    putLe(frame, length, 2);
    putLe(frame, 0, 2);
    putLe(frame, signalId, 4);
    return concat(frame, data);
}

Bytes nextFrame(const Bytes& data)
{
    return concat({0xD4, 0xFF}, data);
}

void feed(cfc::SignalTrace& signals, const Bytes& frame, bool continues)
{
    signals.signalFrame(frame.data(), static_cast<uint16_t>(frame.size()), continues);
}

Bytes record(uint32_t signalId, const Bytes& data)
{
    sim::SignalTrace s{0x13, 0x20, 1, 2, signalId, data};
    return concat(recordHeader(s), data);
}

TEST(SignalTraceFileNumbers, ANumberWithAnythingUnderItsNameIsPassedOver)
{
    namespace fs = std::filesystem;
    struct Planted {
        const char* what;
        std::function<void()> plant;
    };
    const Planted cases[] = {
        {"an earlier run's log", [] { std::ofstream("cfctrace/cfclog007.txt") << "old\r\n"; }},
        {"a link to another file", [] { fs::create_symlink("../victim", "cfctrace/cfc007.flg"); }},
        {"a dangling link", [] { fs::create_symlink("../nowhere", "cfctrace/cfclog007.txt"); }},
        {"a FIFO nobody reads", [] { ASSERT_EQ(::mkfifo("cfctrace/cfclog007.txt", 0600), 0); }},
    };
    for (const Planted& planted : cases) {
        ScopedTempCwd cwd;
        fs::create_directory("cfctrace");
        std::ofstream("victim") << "precious";
        planted.plant();
        cfc::SignalTrace& signals = cfc::ConnectionAt(23).signals;
        EXPECT_EQ(signals.claimFiles(7), 8) << planted.what;
        feed(signals, firstFrame(0x0300FF, 3, {1, 2, 3}), false);
        signals.endSignal();
        EXPECT_EQ(fileText("victim"), "precious") << planted.what;
        EXPECT_EQ(fileText("cfctrace/cfc008.flg"), textOf(record(0x0300FF, {1, 2, 3})))
            << planted.what;
        EXPECT_FALSE(fs::exists("cfctrace/cfc007.flg") &&
                     fs::is_regular_file("cfctrace/cfc007.flg") &&
                     !fs::is_symlink("cfctrace/cfc007.flg"))
            << planted.what << ": no record file of its own left at the number passed over";
    }
}

TEST(SignalTraceFileNumbers, EightRunsStartedTogetherGetEightPairs)
{
    ScopedTempCwd cwd;
    std::filesystem::create_directory("cfctrace");
    const std::string ini = (cwd.path() / "cfctrace.ini").string();
    std::ofstream(ini) << "[Global]\nEnable=1\nSuffix=100\n";
    const ScopedEnv env("CFC_TRACE_INI", ini);
    constexpr int kRuns = 8;
    std::vector<pid_t> runs;
    for (int run = 0; run < kRuns; ++run) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            cfc::SignalTrace& signals = cfc::ConnectionAt(24).signals;
            cfc::ReadSignalTraceSettings(signals);
            feed(signals, firstFrame(static_cast<uint32_t>(run), 4, {9, 9}), false);
            feed(signals, nextFrame({8, 8}), true);
            signals.endSignal();
            ::_exit(0);
        }
        runs.push_back(pid);
    }
    for (const pid_t pid : runs) {
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<uint32_t> signalIds;
    for (int number = 100; number < 100 + kRuns; ++number) {
        const std::string records = fileText("cfctrace/cfc" + std::to_string(number) + ".flg");
        ASSERT_EQ(records.size(), 28u + 4u) << number << ": one whole record of one run";
        signalIds.insert(static_cast<uint8_t>(records[24]));
        const std::string log = fileText("cfctrace/cfclog" + std::to_string(number) + ".txt");
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << number;
    }
    EXPECT_EQ(signalIds.size(), static_cast<size_t>(kRuns));
    EXPECT_EQ(plat::readProfileString(ini, "Global", "Suffix", ""), "108");
}

TEST(SignalTraceFileNumbers, ASignalWhoseFirstFrameFindsTheDiskFullIsLeftOutWhole)
{
    ScopedTempCwd cwd;
    std::filesystem::create_directory("cfctrace");
    cfc::SignalTrace& signals = cfc::ConnectionAt(25).signals;
    ASSERT_EQ(signals.claimFiles(5), 5);
    const Bytes first = record(1, {1, 1, 1, 1});
    // The disk takes the first record and a few bytes more, then is full;
    // later it has room again.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = first.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    feed(signals, firstFrame(1, 4, {1, 1, 1, 1}), false);
    feed(signals, firstFrame(2, 40, Bytes(20, 2)), false);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, SIG_DFL);
    feed(signals, nextFrame(Bytes(20, 2)), true);
    feed(signals, firstFrame(3, 3, {3, 3, 3}), false);
    signals.endSignal();
    EXPECT_EQ(fileText("cfctrace/cfc005.flg"), textOf(concat(first, record(3, {3, 3, 3}))))
        << "the file reads record by record from its start";
}

#endif

} // namespace
