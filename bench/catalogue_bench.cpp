// Round trips of catalogue calls against the simulator's firmware over the
// in-memory line paced at 115200 baud with two stop bits (11 bits a byte):
// a small call (the AFC value: 4 request bytes, a 2-byte confirm) and a
// 1400-byte NVRAM item write (1410 request bytes, a 3-byte confirm).
//
// "ms_per_call" is the measured round trip; "wire_pct" is the wire time of
// the request's and the confirm's data bytes over it: what framing, message
// headers, acknowledgements and the firmware's turn leave of the line.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfcrpc_catalogue.h"
#include "cfcrpc_version.h"

#include "simulated_line.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kPort = 29;
constexpr const char* kDeviceName = "catalogue-bench";
using bench::kBaudRate;
using bench::kBitsPerByte;
constexpr uint16_t kItemSize = 1400;

// A paced line whose version fetch, made by the first call, stays out of
// the figures.
class Link {
public:
    Link() : line_(kPort, kDeviceName, true, sim::Mode::Emmi)
    {
        if (cfc::Connection* connection = line_.connection())
            cfc::GetTargetVersion(*connection);
    }
    cfc::Connection* connection() const { return line_.connection(); }

private:
    bench::SimulatedLine line_;
};

template <class Call>
void roundTrips(benchmark::State& state, size_t wireBytes, Call call)
{
    Link link;
    cfc::Connection* connection = link.connection();
    if (connection == nullptr) {
        state.SkipWithError("the connection did not open");
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (call(*connection) != cfc::kRpcOk) {
            state.SkipWithError("the call failed");
            return;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double calls = static_cast<double>(state.iterations());
    if (calls == 0 || seconds <= 0)
        return;
    const double wireSeconds = static_cast<double>(wireBytes) * kBitsPerByte / kBaudRate;
    state.counters["ms_per_call"] = 1e3 * seconds / calls;
    state.counters["wire_pct"] = 100.0 * wireSeconds * calls / seconds;
}

void SmallCall(benchmark::State& state)
{
    roundTrips(state, 4 + 2,
               [](cfc::Connection& c) { return cfc::CFCRPCCalDevGsmSetAfcDac(c, 0x1000); });
}

void NvramWrite1400(benchmark::State& state)
{
    const std::vector<uint8_t> item(kItemSize, 0x5A);
    roundTrips(state, 10 + kItemSize + 3, [&item](cfc::Connection& c) {
        return cfc::CFCRPCL1ALNVRAMWrite(c, 0, 1, kItemSize, item.data());
    });
}

BENCHMARK(SmallCall)->UseRealTime()->MinTime(2.0);
BENCHMARK(NvramWrite1400)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
