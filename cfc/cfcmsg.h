// Message ids of the remote procedure calls into the module's firmware. A
// request has an odd id and its confirm the id one above.
#pragma once

#include <cstdint>

namespace cfc {

inline constexpr uint16_t CFCRequestGetVersion = 1;
inline constexpr uint16_t CFCConfirmGetVersion = 2;
inline constexpr uint16_t CFCRequestCalDevGsmFinish = 9;
inline constexpr uint16_t CFCConfirmCalDevGsmFinish = 10;
// Not confirmed: the module switches itself off.
inline constexpr uint16_t CFCRequestSwitchOff = 67;
inline constexpr uint16_t CFCRequestSendAtCommand = 93;
// Both the echo of an AT command line and its response, and text the
// firmware sends by itself.
inline constexpr uint16_t CFCConfirmSendAtCommand = 94;
inline constexpr uint16_t CFCRequestGetCurrentOperationMode = 99;
inline constexpr uint16_t CFCConfirmGetCurrentOperationMode = 100;
inline constexpr uint16_t CFCRequestSetCurrentOperationMode = 101;
inline constexpr uint16_t CFCConfirmSetCurrentOperationMode = 102;
// Some firmware confirms the Java autostart request only after it came a
// second time under this id (which the band mode read also uses); the
// confirm then still carries the first request's confirm id.
inline constexpr uint16_t CFCRequestSwitchJavaAutoStartAgain = 103;
inline constexpr uint16_t CFCRequestSwitchJavaAutoStart = 107;
inline constexpr uint16_t CFCConfirmSwitchJavaAutoStart = 108;

} // namespace cfc
