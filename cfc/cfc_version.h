// The module's firmware version: fetched once per connection before the first
// remote procedure call, evaluated into project, number and postfix, and the
// firmware-specific behaviours that follow from it.
#pragma once

#include "cfc_target.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cfc {

// The version text as the fetch asks for it, terminating zero included.
inline constexpr uint16_t kVersionTextSize = 1024;

// What the first item of a version text says of the firmware.
struct FirmwareName {
    // False when the text gives no name: no "&" after the first item, no ":"
    // in it, or no "_" before that ":". Then nothing below is meaningful.
    bool evaluated = false;
    std::array<char, kProjectSize> project{};
    int16_t number = 0;
    std::array<char, kPostfixSize> postfix{};
};

// Reads "project_anything_NNNpostfix:..." from the first "&"-separated item
// of `text`. Reads nothing outside `text`; a zero byte inside it ends it.
FirmwareName EvaluateFirmwareName(std::string_view text);
// The "Bln-Bootloader" item of `text` up to the next "&", or empty when the
// text has none. Not cut to the record's size.
std::string_view FindBootloaderItem(std::string_view text);
// The firmware needs every block sent with the 10 ms gap.
bool NeedsDelayWorkaround(std::string_view project, int16_t number);

// Firmware-specific steps, judged from a version record.
// The normal-mode switch-off sends a GPRS detach first.
bool NeedsGprsDetach(const TargetVersionInfo& version);
// A running test mode must be finished before switching off.
bool NeedsTestModeFinish(const TargetVersionInfo& version);
// The Java autostart request is confirmed only after it came again.
bool ConfirmsAutoStartWhenAskedAgain(const TargetVersionInfo& version);

class Connection;

// The evaluation of a fetched version into the connection's record, with its
// trace: bootloader item, RPC version byte, name, and the delay workaround
// that the connection's send pacing then keeps.
void EvaluateTargetVersion(Connection& connection, std::string_view text, uint32_t hardwareId,
                           uint32_t rpcVersion);

} // namespace cfc
