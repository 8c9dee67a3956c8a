// A connection of the library and a module on one in-memory line: either the
// module simulator, or the test itself writing and reading the module's side
// by hand where it needs every byte on the wire.
#pragma once

#include "cfc.h"
#include "cfc_connection.h"
#include "gwcoml3.h"
#include "test_support.h"

#include "sim/simulator.h"
#include "sim/transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cfctest {

using Bytes = std::vector<uint8_t>;

// Far beyond anything the line and the threads take on a loaded machine.
inline constexpr uint32_t kPatienceMs = 5000;

inline Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}
inline std::string textOf(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

inline Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// `count` bytes counting up from `first`, wrapping at 256.
inline Bytes countingBytes(size_t count, uint8_t first = 0)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

// Message data no earlier test sent, so the receive queue's memory of the
// last delivered message never drops it as a repeat.
inline Bytes freshBytes(size_t count)
{
    static uint8_t serial = 0;
    return countingBytes(count, ++serial);
}

// STX, LEN, data, BCC, ETX, written out by hand for frames the simulator
// would never send.
inline Bytes wireFrame(const Bytes& data)
{
    Bytes frame;
    frame.reserve(data.size() + 4);
    frame.push_back(0x02);
    frame.push_back(static_cast<uint8_t>(data.size()));
    uint8_t check = static_cast<uint8_t>(0x02 ^ data.size());
    for (uint8_t byte : data) {
        frame.push_back(byte);
        check ^= byte;
    }
    frame.push_back(check);
    frame.push_back(0x03);
    return frame;
}

struct Received {
    uint8_t result = cfc::kRxQueueEmpty;
    uint16_t command = 0;
    Bytes data;
};

// One removal from the receive queue after waiting up to `boundMs` for a
// message to be queued.
inline Received takeMessage(uint32_t handle, uint32_t boundMs = kPatienceMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(handle).messages) &&
           std::chrono::steady_clock::now() < end)
        cfc::EmmiL3WaitForRxMessage(cfctest::connectionOf(handle).messages);
    Received received;
    uint16_t length = 0;
    Bytes buffer(cfc::kMessageSize);
    received.result = cfc::EmmiL3RemoveFromRxQueue(cfctest::connectionOf(handle).messages,
                                                   &received.command, buffer.data(), &length);
    if (received.result != cfc::kRxQueueEmpty)
        received.data.assign(buffer.begin(), buffer.begin() + length);
    return received;
}

// COM<port> on a fresh in-memory line with the connection open. With a
// simulator the module runs in EMMI mode; without one the test plays it.
class ModuleLink {
public:
    enum class Module { Simulator, ByHand };

    // A `script` answers the host's messages in place of the simulator's
    // firmware.
    ModuleLink(int port, const std::string& name, Module module = Module::Simulator,
               const sim::Options& options = {}, sim::MessageHandler script = {})
        : ini_("CFC_TRACE_INI", "/nonexistent/cfctrace.ini"),
          com_("CFC_COM" + std::to_string(port), "virtual:" + name), name_(name),
          device_(plat::registerVirtualDevice(name))
    {
        if (module == Module::Simulator) {
            sim_ = std::make_unique<sim::Simulator>(sim::makeVirtualTransport(device_), options);
            if (script)
                sim_->setMessageHandler(std::move(script));
            sim_->setMode(sim::Mode::Emmi);
            EXPECT_TRUE(sim_->start());
        }
        handle_ = WComOpen(port, 115200, 0);
        EXPECT_NE(handle_, 0u);
    }
    ~ModuleLink()
    {
        close();
        if (sim_)
            sim_->stop();
        sim_.reset();
        plat::unregisterVirtualDevice(name_);
    }
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    uint32_t handle() const { return handle_; }
    cfc::Connection& connection() { return *cfc::ConnectionOf(handle_); }
    sim::Simulator& sim() { return *sim_; }
    plat::VirtualDevice& device() { return *device_; }

    void close()
    {
        if (handle_ != 0)
            WComClose(handle_);
        handle_ = 0;
    }
    void reopen(int port)
    {
        close();
        handle_ = WComOpen(port, 115200, 0);
        EXPECT_NE(handle_, 0u);
    }

    // The module's side by hand: bytes towards the host, and what the host
    // wrote (up to `count` bytes, fewer when `boundMs` passes first).
    void moduleSends(const Bytes& bytes) { device().write(bytes.data(), bytes.size()); }
    Bytes moduleReads(size_t count, uint32_t boundMs = kPatienceMs)
    {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            uint8_t buffer[512];
            const size_t want = std::min(sizeof buffer, count - got.size());
            const size_t n = device().read(buffer, want, static_cast<uint32_t>(left.count()));
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    ScopedEnv ini_;
    ScopedEnv com_;
    std::string name_;
    std::shared_ptr<plat::VirtualDevice> device_;
    std::unique_ptr<sim::Simulator> sim_;
    uint32_t handle_ = 0;
};

} // namespace cfctest
