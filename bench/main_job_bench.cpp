// The whole main job as vornax runs it (open, service mode, autostart off,
// switch-off, close) against the cfcsim program on a pseudo-terminal, a
// module in AT mode that answers at once. A fresh module per run, started
// outside the measured time.
//
// Almost all of a run is waiting: the pauses the serial-mode probes and the
// switch to EMMI prescribe, and the answers that by design never come (a
// module in EMMI mode does not echo "at\r"; a module that is off answers
// nothing). "floor_ms" adds these waits up for the path this module takes;
// "over_floor_pct" is how far the run's wall time lies above them, and
// "cpu_of_wall_pct" the library's CPU time (user + sys, the module runs in
// its own process) over the wall time: near 0 when nothing spins.
#include "cfc.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kPort = 3;
constexpr auto kStartBound = std::chrono::seconds(10);

// The fixed waits on the path of a module that starts in AT mode. A probe
// is the flush (its 50 ms settling wait), the AT test string sent a byte at
// a time with 10 ms after each byte, and the EMMI test string when the AT
// test failed; a probe's answer is read with a 50 ms wait for the first byte
// and, once something came, 2 ms (the inter-character time at 115200 baud)
// for the rest, twice (the read and its second chance). Which waits run out:
namespace floor_ms {
// WComOpen discards stale input: one flush.
constexpr double kOpenFlush = 50;
// First probe: the module echoes "at\r" and answers OK; the answer's rest
// ends on two inter-character waits, then 200 ms after an AT echo.
constexpr double kAtProbe = 50 + 3 * 10 + 2 * 2 + 200;
// One switch attempt: flush, "at^sqwe=1", 100 ms, echo and OK already there.
constexpr double kSwitchCommand = 50 + 100;
// Waiting for EMMI: one probe; the module, now in EMMI mode, leaves "at\r"
// unanswered (50 ms) and NAKs the EMMI test string (two inter-character
// waits after the NAK).
constexpr double kEmmiProbe = 50 + 3 * 10 + 50 + 2 * 2;
// The switch to EMMI ends with a flush.
constexpr double kSwitchedFlush = 50;
// The remote procedure calls are answered at once: no fixed wait.
// Waiting for silence after the switch-off request: one probe that no
// string gets an answer to (50 ms for each).
constexpr double kSilenceProbe = 50 + 3 * 10 + 50 + 50;
constexpr double kTotal =
    kOpenFlush + kAtProbe + kSwitchCommand + kEmmiProbe + kSwitchedFlush + kSilenceProbe;
} // namespace floor_ms

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The cfcsim program with a module in AT mode; it ends when its input does.
class Module {
public:
    Module()
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        char program[] = CFCSIM_PATH;
        char mode[] = "--mode=at";
        char* argv[] = {program, mode, nullptr};
        if (posix_spawn(&pid_, CFCSIM_PATH, &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        terminal_ = firstLine(out[0]);
        ::close(out[0]);
    }
    ~Module()
    {
        if (input_ >= 0)
            ::close(input_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // The terminal the module listens on; empty when it did not start.
    const std::string& terminal() const { return terminal_; }

private:
    static std::string firstLine(int fd)
    {
        std::string line;
        char c = 0;
        pollfd readable{fd, POLLIN, 0};
        const int boundMs = static_cast<int>(std::chrono::milliseconds(kStartBound).count());
        while (::poll(&readable, 1, boundMs) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    std::string terminal_;
};

// The calls of vornax com3, in its order; true when every step succeeded.
bool mainJob()
{
    const uint32_t handle = WComOpen(kPort, 115200, 0);
    const bool done =
        WInitServiceMode(handle) && WSwitchJavaAutoStart(handle, 0) && WSwitchOff(handle);
    WComClose(handle);
    return done;
}

void MainJob(benchmark::State& state)
{
    // A settings file that cannot exist: an enabled signal trace would add
    // its waits to every run.
    ::setenv("CFC_TRACE_INI", "/dev/null/cfctrace.ini", 1);
    for (auto _ : state) {
        const Module module;
        if (module.terminal().empty()) {
            state.SkipWithError("the module simulator did not start");
            break;
        }
        ::setenv(("CFC_COM" + std::to_string(kPort)).c_str(), module.terminal().c_str(), 1);

        const double cpuStart = cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const bool done = mainJob();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuStart;
        if (!done) {
            state.SkipWithError("the main job failed");
            break;
        }
        state.SetIterationTime(wall);
        state.counters["wall_ms"] = 1e3 * wall;
        state.counters["cpu_ms"] = 1e3 * cpu;
        state.counters["floor_ms"] = floor_ms::kTotal;
        state.counters["over_floor_pct"] =
            100.0 * (1e3 * wall - floor_ms::kTotal) / floor_ms::kTotal;
        state.counters["cpu_of_wall_pct"] = 100.0 * cpu / wall;
    }
}

} // namespace

BENCHMARK(MainJob)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->DisplayAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
