#include "harness.h"

namespace simtest {

Bytes frameOf(const Bytes& data)
{
    uint8_t check = 0x02 ^ static_cast<uint8_t>(data.size());
    for (uint8_t byte : data)
        check ^= byte;
    Bytes frame{0x02, static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(check);
    frame.push_back(0x03);
    return frame;
}

Bytes concat(const Bytes& a, const Bytes& b)
{
    Bytes joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

Bytes countingBytes(size_t count, uint8_t first)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

HostEnd::HostEnd(const std::string& name)
{
    int sysError = 0;
    port_ = plat::openSerialPort(name.starts_with("/") ? name : "virtual:" + name, &sysError);
}

void HostEnd::send(const Bytes& bytes)
{
    port_->write(bytes.data(), bytes.size());
}

Bytes HostEnd::receive(size_t count, uint32_t timeoutMs)
{
    Bytes bytes(count);
    const plat::IoResult result = port_->read(bytes.data(), count, timeoutMs, nullptr);
    bytes.resize(result.transferred);
    return bytes;
}

std::optional<uint8_t> HostEnd::receiveByte(uint32_t timeoutMs)
{
    const Bytes byte = receive(1, timeoutMs);
    if (byte.empty())
        return std::nullopt;
    return byte.front();
}

Bytes HostEnd::receiveFrame(uint32_t timeoutMs)
{
    Bytes frame = receive(2, timeoutMs);
    if (frame.size() < 2)
        return {};
    const Bytes rest = receive(frame[1] + 2u);
    return concat(frame, rest);
}

void SimulatorTest::startSimulator(const sim::Options& options, sim::Mode mode,
                                   sim::MessageHandler handler)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    lineName_ = std::string("sim-") + test->test_suite_name() + "-" + test->name();
    device_ = plat::registerVirtualDevice(lineName_);
    host_ = std::make_unique<HostEnd>(lineName_);
    ASSERT_TRUE(host_->isOpen());
    sim_ = std::make_unique<sim::Simulator>(sim::makeVirtualTransport(device_), options);
    sim_->setMode(mode);
    sim_->setMessageHandler(std::move(handler));
    ASSERT_TRUE(sim_->start());
}

void SimulatorTest::startWithFault(sim::FaultPlan sim::Faults::*fault)
{
    sim::Options options;
    options.faults.*fault = {0, 1};
    startSimulator(options);
}

void SimulatorTest::TearDown()
{
    sim_.reset();
    host_.reset();
    device_.reset();
    plat::unregisterVirtualDevice(lineName_);
}

} // namespace simtest
