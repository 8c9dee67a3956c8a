#include "sim/modes.h"

namespace sim {

std::unique_ptr<ModeBehaviour> makeModeBehaviour(Mode mode, ModeHost& host, const Options& options)
{
    const FirmwareOptions& firmware = options.firmware;
    switch (mode) {
    case Mode::At: return std::make_unique<AtMode>(host, firmware.atAnswers, firmware.baudRate);
    case Mode::Emmi: return std::make_unique<EmmiMode>(host, firmware.baudRate);
    case Mode::Bootloader: return std::make_unique<BootloaderMode>(host, options.bootloader);
    case Mode::Off: break;
    }
    return std::make_unique<OffMode>();
}

} // namespace sim
