#include "common/device_port.h"

#include "common/line_settings.h"

#include <cerrno>

namespace plat::detail {

namespace {

// Errors that say the port has no modem control lines (a pseudo-terminal).
bool noModemLines(int error)
{
    return error == ENOTTY || error == EINVAL;
}

} // namespace

LineSettings DevicePort::remembered() const
{
    std::lock_guard lock(mutex_);
    return settings_;
}

int DevicePort::driveLine(ModemLine line, bool high)
{
    const int error = driveAtDriver(line, high);
    if (error != 0 && noModemLines(error) && !(line == ModemLine::Dtr && high))
        return 0;
    return error;
}

int DevicePort::applyModemLines(const LineSettings& settings)
{
    // A line under flow control is the driver's; its level waits in the
    // settings until flow control gives the line back.
    LineSettings applied = settings;
    int error = 0;
    if (!driverOwnsDtr(settings)) {
        error = driveLine(ModemLine::Dtr, settings.dtr);
        if (error != 0)
            applied.dtr = remembered().dtr;
    }
    if (!driverOwnsRts(settings)) {
        if (const int rtsError = driveLine(ModemLine::Rts, settings.rts); error == 0)
            error = rtsError;
    }
    std::lock_guard lock(mutex_);
    settings_ = applied;
    return error;
}

bool DevicePort::driveByHand(ModemLine line, bool high)
{
    if (const int error = driveLine(line, high))
        return refuse(error);
    std::lock_guard lock(mutex_);
    (line == ModemLine::Dtr ? settings_.dtr : settings_.rts) = high;
    return true;
}

bool DevicePort::setDtr(bool on)
{
    return driveByHand(ModemLine::Dtr, on);
}

bool DevicePort::setRts(bool on)
{
    return driveByHand(ModemLine::Rts, on);
}

} // namespace plat::detail
