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

#include "plat/virtual_serial.h"
#include "sim/simulator.h"
#include "sim/transport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kPort = 29;
constexpr const char* kDeviceName = "catalogue-bench";
constexpr double kBaudRate = 115200.0;
constexpr double kBitsPerByte = 11.0;
constexpr uint16_t kItemSize = 1400;

class Link {
public:
    Link() : device_(plat::registerVirtualDevice(kDeviceName))
    {
        ::setenv(("CFC_COM" + std::to_string(kPort)).c_str(),
                 (std::string("virtual:") + kDeviceName).c_str(), 1);
        ::setenv("CFC_TRACE_INI", "/dev/null/cfctrace.ini", 1);
        module_ = std::make_unique<sim::Simulator>(sim::makeVirtualTransport(device_));
        module_->setMode(sim::Mode::Emmi);
        if (!module_->start())
            return;
        handle_ = WComOpen(kPort, 115200, 0);
        device_->setPaced(true);
        // The version fetch of the first call stays out of the figures.
        if (handle_ != 0)
            cfc::GetTargetVersion(*cfc::ConnectionOf(handle_));
    }
    ~Link()
    {
        if (handle_ != 0)
            WComClose(handle_);
        module_->stop();
        plat::unregisterVirtualDevice(kDeviceName);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    cfc::Connection* connection() const
    {
        return handle_ != 0 ? cfc::ConnectionOf(handle_) : nullptr;
    }

private:
    std::shared_ptr<plat::VirtualDevice> device_;
    std::unique_ptr<sim::Simulator> module_;
    uint32_t handle_ = 0;
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
