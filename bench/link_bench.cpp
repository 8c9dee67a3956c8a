// Messages of 10, 300 and 1500 data bytes between the library and the module
// simulator over the in-memory line, the host sending and the host receiving.
//
// Unpaced, the line itself takes no time, so "us_per_frame" is what the
// protocol costs for one frame: building, writing, the answer's way back and
// the thread hand-overs. Paced, the line runs at 115200 baud with two stop
// bits (11 bits a byte) and "efficiency_pct" is the wire time of the
// message's data bytes over the measured time per message: what framing,
// headers and the wait for each acknowledgement leave of the line.
#include "cfc.h"
#include "cfc_connection.h"
#include "gwcoml3.h"

#include "simulated_line.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kPort = 28;
constexpr const char* kDeviceName = "link-bench";
constexpr uint16_t kCommand = 0x0B0B;
using bench::kBaudRate;
using bench::kBitsPerByte;
// First frame: type, segment, 4 header bytes; later frames: type, segment.
constexpr size_t kFirstFrameData = 255 - 2 - 4;
constexpr size_t kLaterFrameData = 255 - 2;
constexpr auto kMessageBound = std::chrono::seconds(5);

size_t framesFor(size_t bytes)
{
    if (bytes <= kFirstFrameData)
        return 1;
    return 1 + (bytes - kFirstFrameData + kLaterFrameData - 1) / kLaterFrameData;
}

// Message data that differs from the one before, so the receiver never drops
// it as a repeat.
std::vector<uint8_t> messageData(size_t size)
{
    static uint64_t serial = 0;
    ++serial;
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = i < 8 ? static_cast<uint8_t>(serial >> (8 * i)) : static_cast<uint8_t>(i);
    return data;
}

// The simulated line, and the host's reception of the module's messages.
class Link {
public:
    explicit Link(bool paced) : line_(kPort, kDeviceName, paced, sim::Mode::Emmi) {}

    uint32_t handle() const { return line_.handle(); }
    sim::Simulator& module() { return line_.module(); }

    // Takes messages off the receive queue until one with kCommand arrives.
    bool receive()
    {
        const auto deadline = std::chrono::steady_clock::now() + kMessageBound;
        for (;;) {
            uint16_t command = 0;
            uint16_t length = 0;
            const uint8_t taken = cfc::EmmiL3RemoveFromRxQueue(line_.connection()->messages,
                                                               &command, buffer_.data(), &length);
            if (taken == cfc::kRxQueueDelivered && command == kCommand)
                return true;
            if (taken == cfc::kRxQueueEmpty) {
                if (std::chrono::steady_clock::now() > deadline)
                    return false;
                cfc::EmmiL3WaitForRxMessage(line_.connection()->messages);
            }
        }
    }

private:
    bench::SimulatedLine line_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(cfc::kMessageSize);
};

// Measures the loop's real time itself, so that both figures come out as
// plain numbers rather than as rates.
class Figures {
public:
    Figures(benchmark::State& state, size_t bytes, bool paced)
        : state_(state), bytes_(bytes), paced_(paced), start_(std::chrono::steady_clock::now())
    {
    }
    ~Figures()
    {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double messages = static_cast<double>(state_.iterations());
        const double frames = static_cast<double>(framesFor(bytes_));
        state_.counters["frames"] = frames;
        if (messages == 0 || seconds <= 0)
            return;
        if (paced_) {
            const double wireSeconds = static_cast<double>(bytes_) * kBitsPerByte / kBaudRate;
            state_.counters["efficiency_pct"] = 100.0 * wireSeconds * messages / seconds;
        } else {
            state_.counters["us_per_frame"] = 1e6 * seconds / (messages * frames);
        }
    }
    Figures(const Figures&) = delete;
    Figures& operator=(const Figures&) = delete;

private:
    benchmark::State& state_;
    size_t bytes_;
    bool paced_;
    std::chrono::steady_clock::time_point start_;
};

// One message per iteration, sized by the first argument, over a line paced
// by the second; `step` moves the message and names what failed, or null.
template <class Step>
void runMessages(benchmark::State& state, Step step)
{
    const size_t bytes = static_cast<size_t>(state.range(0));
    const bool paced = state.range(1) != 0;
    Link link(paced);
    if (link.handle() == 0) {
        state.SkipWithError("the connection did not open");
        return;
    }
    const Figures figures(state, bytes, paced);
    for (auto _ : state) {
        if (const char* failure = step(link, messageData(bytes))) {
            state.SkipWithError(failure);
            break;
        }
    }
}

void HostSends(benchmark::State& state)
{
    runMessages(state, [](Link& link, std::vector<uint8_t> data) -> const char* {
        if (cfc::EmmiL3SendMessage((*cfc::ConnectionOf(link.handle())).messages, kCommand, 0, 0, 0,
                                   data.data(), static_cast<uint16_t>(data.size()),
                                   0) != EMMIERR_OK)
            return "a frame was not acknowledged";
        return nullptr;
    });
}

void HostReceives(benchmark::State& state)
{
    runMessages(state, [](Link& link, std::vector<uint8_t> data) -> const char* {
        std::future<bool> sent = link.module().sendMessage(kCommand, std::move(data));
        if (!link.receive())
            return "the message did not arrive";
        // The module's last frame is acknowledged before the message is queued.
        if (sent.wait_for(kMessageBound) != std::future_status::ready || !sent.get())
            return "the module saw no acknowledgement";
        return nullptr;
    });
}

void messageSizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"bytes", "paced"});
    for (int paced : {0, 1})
        for (int bytes : {10, 300, 1500})
            b->Args({bytes, paced});
    b->UseRealTime();
    // A paced 1500-byte message takes 0.15 s; a few more of them steady the figure.
    b->MinTime(2.0);
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(HostSends)->Apply(messageSizes);
BENCHMARK(HostReceives)->Apply(messageSizes);

BENCHMARK_MAIN();
