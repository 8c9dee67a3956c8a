// What the ports on real devices keep the same way on every system: the
// levels of the two modem output lines, which the system's own settings
// record (termios, the control block) does not hold while a level is driven
// by hand, and the rule that only raising DTR may be refused on a port
// without modem lines.
#pragma once

#include "common/port_base.h"

#include <mutex>

namespace plat::detail {

class DevicePort : public PortBase {
public:
    bool setDtr(bool on) final;
    bool setRts(bool on) final;

protected:
    enum class ModemLine { Dtr, Rts };

    explicit DevicePort(const LineSettings& initial) : settings_(initial) {}

    // Drives one line at the driver; errno-style result, 0 when done.
    virtual int driveAtDriver(ModemLine line, bool high) = 0;

    // After the format of new settings is in force: drives the lines flow
    // control leaves to the caller and remembers the levels (a refused DTR
    // keeps its old one). The first refusal, or 0.
    int applyModemLines(const LineSettings& settings);
    LineSettings remembered() const;

private:
    // driveAtDriver, with the refusal of a port without modem lines
    // forgiven unless DTR is to go high: nothing depends on the others.
    int driveLine(ModemLine line, bool high);
    bool driveByHand(ModemLine line, bool high);

    // The receive thread reads while the caller's thread drives DTR.
    mutable std::mutex mutex_;
    LineSettings settings_;
};

} // namespace plat::detail
