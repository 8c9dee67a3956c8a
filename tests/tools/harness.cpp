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

Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes requestFrame(uint16_t command, const Bytes& payload)
{
    const size_t length = payload.size() + 2;
    Bytes data{0xD6,
               0xFF,
               static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length & 0xFF),
               static_cast<uint8_t>(command & 0xFF),
               static_cast<uint8_t>(command >> 8)};
    return frameOf(concat(data, payload));
}

std::optional<ModuleMessage> moduleMessageOf(const Bytes& frame)
{
    if (frame.size() < 4 + 6 || frame != frameOf(Bytes(frame.begin() + 2, frame.end() - 2)))
        return std::nullopt;
    const Bytes data(frame.begin() + 2, frame.end() - 2);
    if (data[0] != 0xD6 || data[1] != 0xFF)
        return std::nullopt;
    return ModuleMessage{static_cast<uint16_t>(data[2] | data[3] << 8),
                         Bytes(data.begin() + 6, data.end())};
}

HostEnd::HostEnd(const std::string& name)
{
    int sysError = 0;
    port_ = plat::openSerialPort(name.starts_with("/") ? name : "virtual:" + name, &sysError);
    if (port_ && !setBaudRate(kFirmwareBaud))
        port_.reset();
}

bool HostEnd::setBaudRate(uint32_t baudRate)
{
    plat::LineSettings settings;
    if (!port_->getLineSettings(settings))
        return false;
    settings.baudRate = baudRate;
    return port_->setLineSettings(settings);
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

std::optional<ModuleMessage> HostEnd::receiveMessage(uint32_t timeoutMs)
{
    const Bytes frame = receiveFrame(timeoutMs);
    if (frame.empty())
        return std::nullopt;
    send({kAck});
    return moduleMessageOf(frame);
}

std::optional<ModuleMessage> HostEnd::call(uint16_t command, const Bytes& payload)
{
    send(requestFrame(command, payload));
    if (receiveByte() != kAck)
        return std::nullopt;
    return receiveMessage();
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
