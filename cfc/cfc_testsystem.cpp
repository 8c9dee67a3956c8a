// Optional libraries of an outside test system: its trace sink, and the
// mapper through which its test cases run a library operation and get the
// result reported back. Bound once per process and never released.
#include "cfc_testsystem.h"

#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_trace.h"

#include "plat/dynlib.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace cfc {

namespace {

using SinkFn = int (*)(uint32_t testCaseHandle, const char* text);
using ReportFn = int (*)(int32_t value2, int32_t value1, int32_t device, int32_t parameter,
                         int32_t resultIndex, double* results, int32_t* status, void* work);
using ValueFn = int32_t (*)();
using PortFn = int32_t (*)(int32_t device, int32_t* port);
using ParameterFn = int32_t (*)(int32_t source, int32_t parameter, int32_t selector, char* text);

struct Bindings {
    ReportFn report = nullptr;  // fenwist_korbel
    ValueFn value1 = nullptr;   // Drumvel_Oskat
    ValueFn value2 = nullptr;   // Drumvel_Tarvin
    ValueFn source = nullptr;   // Drumvel_Wemblo
    ValueFn device = nullptr;   // Drumvel_Hespar
    PortFn port = nullptr;      // Drumvel_Quibon
    ParameterFn text = nullptr; // zarnog_lupen

    bool mapperComplete() const
    {
        return report && value1 && value2 && source && device && port && text;
    }
};

// Cleared by a program that never runs under a test system, before its
// first open: the libraries' constructors then never run in it.
std::atomic<bool> g_bindingWanted{true};

// Written once inside the first open, before any receive thread exists,
// and only read afterwards.
Bindings g_bindings;

template <typename Fn>
Fn functionAt(const plat::DynLib& library, const char* name)
{
    void* address = library.symbol(name);
    Fn function = nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
}

// Loaded libraries stay loaded until the process ends, so the addresses
// taken from them never dangle, not even for a receive thread still running
// at exit: they are held here and never destroyed.
std::array<plat::DynLib*, 4> g_libraries{};

plat::DynLib* load(size_t index, const char* name)
{
    auto library = std::make_unique<plat::DynLib>();
    if (!library->open(name))
        return nullptr;
    g_libraries[index] = library.release();
    return g_libraries[index];
}

constexpr int32_t kMaxPortWithSlotBits = 255;
constexpr int32_t kResultCount = 7;
constexpr size_t kParameterTextSize = 128;
constexpr size_t kWorkAreaSize = 512;
constexpr double kNoFunctionName = 100000.0;
constexpr double kUnknownFunction = 99999.0;
constexpr int32_t kOperationText = 1;
constexpr int32_t kNoteText = 2;

bool parameterText(int32_t source, int32_t parameter, int32_t selector,
                   std::array<char, kParameterTextSize>& text)
{
    text.fill('\0');
    const bool found = g_bindings.text(source, parameter, selector, text.data()) == 0;
    // The test system's text is not trusted to end inside the buffer.
    text.back() = '\0';
    return found;
}

// The operation the test case names, on the connection of `port`; its
// result as the test system reads it.
double runOperation(const OpTrace& trace, const std::string& name, int32_t port)
{
    using Operation = int32_t (*)(uint32_t);
    Operation operation = nullptr;
    if (name == "WInitNormalModeFromTestMode")
        operation = WInitNormalModeFromTestMode;
    else if (name == "WTerminateCall")
        operation = WTerminateCall;
    if (operation == nullptr) {
        trace.step(4, "unknown mapper function %s", name.c_str());
        return kUnknownFunction;
    }
    // Only ports that fit the handle's slot field can name a connection.
    if (port < 0 || port > kMaxPortWithSlotBits) {
        trace.step(4, "port %d has no connection, %s not called", port, name.c_str());
        return kUnknownFunction;
    }
    trace.step(6, "calling %s...", name.c_str());
    return operation(HandleForSlot(SlotForPort(port)));
}

} // namespace

void BindTestSystem()
{
    if (!g_bindingWanted.load())
        return;
    if (const plat::DynLib* sink = load(0, "ombrel"))
        SetTraceSink(functionAt<SinkFn>(*sink, "ombrel_daskin"));
    if (const plat::DynLib* report = load(1, "fenwist"))
        g_bindings.report = functionAt<ReportFn>(*report, "fenwist_korbel");
    if (const plat::DynLib* dut = load(2, "drumvel.dll")) {
        g_bindings.value1 = functionAt<ValueFn>(*dut, "Drumvel_Oskat");
        g_bindings.value2 = functionAt<ValueFn>(*dut, "Drumvel_Tarvin");
        g_bindings.source = functionAt<ValueFn>(*dut, "Drumvel_Wemblo");
        g_bindings.device = functionAt<ValueFn>(*dut, "Drumvel_Hespar");
        g_bindings.port = functionAt<PortFn>(*dut, "Drumvel_Quibon");
    }
    if (const plat::DynLib* parameters = load(3, "zarnog"))
        g_bindings.text = functionAt<ParameterFn>(*parameters, "zarnog_lupen");
}

bool TestSystemMapperActive()
{
    return g_bindings.mapperComplete();
}

} // namespace cfc

using namespace cfc;

void WSetTestSystemBinding(int32_t on)
{
    g_bindingWanted.store(on != 0);
}

void TC2CFCMapper(TC2CFCRequest* record)
{
    if (!g_bindings.mapperComplete() || record == nullptr)
        return;
    const int32_t value1 = g_bindings.value1();
    const int32_t value2 = g_bindings.value2();
    const int32_t source = g_bindings.source();
    const int32_t device = g_bindings.device();
    int32_t port = -1;
    g_bindings.port(device, &port);
    // A port without a slot still needs a trace path for the lines below.
    const bool hasSlot = port >= 0 && port <= kMaxPortWithSlotBits;
    const Connection& connection = ConnectionAt(hasSlot ? SlotForPort(port) : 0);
    const OpTrace trace(connection.trace, "(CFC )", "TC2CFCMapper");

    int32_t parameter = 0;
    int32_t resultIndex = 0;
    if (record->request != nullptr)
        std::sscanf(record->request, "%d:%d", &parameter, &resultIndex);

    double result = kNoFunctionName;
    std::array<char, kParameterTextSize> text{};
    const char* colon = nullptr;
    if (parameterText(source, parameter, kOperationText, text))
        colon = std::strchr(text.data(), ':');
    if (colon == nullptr) {
        trace.step(4, "CFC function name missing");
    } else {
        const std::string name(text.data(), static_cast<size_t>(colon - text.data()));
        const std::string parameters(colon + 1);
        trace.step(4, "requested CFC func is %s, params %s", name.c_str(), parameters.c_str());
        std::array<char, kParameterTextSize> note{};
        if (parameterText(source, parameter, kNoteText, note))
            TraceLineF(connection.trace, 4, "[%s]", note.data());
        result = runOperation(trace, name, port);
    }

    // Zero rather than leftover memory in the entries that carry no result.
    std::array<double, kResultCount> results{};
    if (resultIndex >= 0 && resultIndex < kResultCount)
        results[static_cast<size_t>(resultIndex)] = result;
    else
        trace.step(4, "result index %d outside the %d results, result not stored", resultIndex,
                   kResultCount);
    int32_t status = 0;
    std::array<uint8_t, kWorkAreaSize> work{};
    g_bindings.report(value2, value1, device, parameter, resultIndex, results.data(), &status,
                      work.data());
    record->status = status;
}
