// The probe's order and stopping rules, over a port that refuses on demand.
#include "serial_layer_try.h"

#include <gtest/gtest.h>

#include <set>

namespace zantal {
namespace {

struct Line {
    std::set<uint32_t> refused;
    int opensLeft = 100; // opens that succeed before the port goes away
    int openNow = 0;
    int mostOpenAtOnce = 0;
    std::vector<std::string> namesOpened;
};

class FakePort : public plat::SerialPort {
public:
    explicit FakePort(Line& line) : line_(line)
    {
        line_.mostOpenAtOnce = std::max(line_.mostOpenAtOnce, ++line_.openNow);
    }
    ~FakePort() override { --line_.openNow; }
    bool getLineSettings(plat::LineSettings& s) override
    {
        s = plat::LineSettings{};
        s.parity = plat::Parity::Even; // the probe must set its own frame
        return true;
    }
    bool setLineSettings(const plat::LineSettings& s) override
    {
        EXPECT_EQ(s.dataBits, 8);
        EXPECT_EQ(s.parity, plat::Parity::None);
        EXPECT_EQ(s.stopBits, plat::StopBits::One);
        EXPECT_TRUE(s.dtr);
        return line_.refused.count(s.baudRate) == 0;
    }
    plat::IoResult read(uint8_t*, size_t, uint32_t, const plat::Event*) override { return {}; }
    plat::IoResult write(const uint8_t*, size_t) override { return {}; }
    bool purge(bool, bool) override { return true; }
    bool setDtr(bool) override { return true; }
    bool setRts(bool) override { return true; }
    int lastError() const override { return 0; }

private:
    Line& line_;
};

// The probe over the serial layer, on a port of this line.
TrySpeed opener(Line& line)
{
    PortOpener open = [&line](const std::string& name) -> std::unique_ptr<plat::SerialPort> {
        line.namesOpened.push_back(name);
        if (line.opensLeft-- <= 0)
            return nullptr;
        return std::make_unique<FakePort>(line);
    };
    return [open](const std::string& name, uint32_t baudRate) {
        return tryOverSerialLayer(open, name, baudRate);
    };
}

TEST(SpeedProbe, StopsAtTheFirstRefusalAndKeepsTheLastAccepted)
{
    Line line;
    line.refused = {230400, 460800};
    std::string best;
    EXPECT_EQ(probeMaxSpeed("\\\\.\\COM3", opener(line), &best), ProbeResult::Found);
    EXPECT_EQ(best, "115200");
    EXPECT_EQ(line.namesOpened.size(), 6u); // nothing after the refusal
    EXPECT_EQ(line.namesOpened.front(), "\\\\.\\COM3");
    EXPECT_EQ(line.mostOpenAtOnce, 1); // each try closes before the next opens
    EXPECT_EQ(line.openNow, 0);
}

TEST(SpeedProbe, RefusedFirstSpeedMeansNoneAccepted)
{
    Line line;
    line.refused = {9600};
    std::string best = "unchanged";
    EXPECT_EQ(probeMaxSpeed("p", opener(line), &best), ProbeResult::NoneAccepted);
    EXPECT_EQ(best, "unchanged");
}

TEST(SpeedProbe, PortLostMidwayIsCannotOpenDespiteEarlierSpeeds)
{
    Line line;
    line.opensLeft = 3;
    std::string best = "unchanged";
    EXPECT_EQ(probeMaxSpeed("p", opener(line), &best), ProbeResult::CannotOpen);
    EXPECT_EQ(best, "unchanged");
    EXPECT_EQ(line.openNow, 0);
}

} // namespace
} // namespace zantal
