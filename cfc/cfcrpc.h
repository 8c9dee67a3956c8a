// Remote procedure calls into the module's firmware on the main path. Each
// draws its reference, makes sure the target version is known, sends its
// request and judges its confirm; the result is 0 or one of the numbers below.
// The calls do not check the handle; the public operations above them do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

inline constexpr uint16_t kRpcOk = 0;
inline constexpr uint16_t kRpcNotSent = 1;
inline constexpr uint16_t kRpcNoConfirm = 2;
inline constexpr uint16_t kRpcBadReference = 4;
// The confirm's status says failure, or its content is not the expected one.
inline constexpr uint16_t kRpcBadConfirm = 5;
inline constexpr uint16_t kRpcUndefinedItemState = 6;
inline constexpr uint16_t kRpcNoMemory = 9;

// The AT command line's text area; a command holds at most 126 characters so
// that its carriage return and zero byte fit.
inline constexpr size_t kAtTextArea = 128;
inline constexpr size_t kMaxAtCommandLength = kAtTextArea - 2;
// A response area: the longest text with every character escaped, and a zero.
inline constexpr size_t kAtResponseSize = 4 * kAtTextArea + 1;

// `text` receives at most textSize - 1 characters of the version text and is
// zero-filled behind them.
uint16_t CFCRPCGetVersion(uint32_t handle, uint32_t* hardwareId, uint32_t* rpcVersion, char* text,
                          uint16_t textSize);
uint16_t CFCRPCGetCurrentOperationMode(uint32_t handle, uint8_t* mode);
uint16_t CFCRPCSetCurrentOperationMode(uint32_t handle, uint8_t mode);
uint16_t CFCRPCCalDevGsmFinish(uint32_t handle);
// 0 once the request was sent; no confirm is awaited.
uint16_t CFCRPCSwitchOff(uint32_t handle);
// Sends `command` (at most kMaxAtCommandLength characters) and waits for its
// echo; with a `response` area of kAtResponseSize bytes also for the
// response, whose line ends come back escaped as "<CR>" and "<LF>".
uint16_t CFCRPCSendAtCommand(uint32_t handle, const char* command, char* response);
// Takes one AT text the firmware sent, escaped into kAtResponseSize bytes.
uint16_t CFCRPCReceiveAtCommand(uint32_t handle, char* text);
uint16_t CFCRPCSwitchJavaAutoStart(uint32_t handle, uint8_t onOff);

// Copies the zero-terminated `text` into `target` with every line feed written
// as "<LF>" and every carriage return as "<CR>", always zero-terminated and
// never beyond targetSize bytes (4 * length + 1 always suffice); an escape
// that does not fit whole is left out. Returns the length of `text`.
size_t EscapeLineEnds(const char* text, char* target, size_t targetSize);

// The judgements of the confirms, apart from their reception so that any
// confirm bytes can be judged. `confirm` is the whole confirm area; bytes the
// module did not send read as zero.
uint16_t JudgeVersionConfirm(std::span<const uint8_t> confirm, uint32_t* hardwareId,
                             uint32_t* rpcVersion, char* text, uint16_t textSize);
uint16_t JudgeOperationModeConfirm(std::span<const uint8_t> confirm, uint8_t* mode);
uint16_t JudgeStatusConfirm(std::span<const uint8_t> confirm);
uint16_t JudgeAutoStartConfirm(uint32_t handle, std::span<const uint8_t> confirm);
// The text area's text (up to its first zero byte) escaped into `text`.
void TakeAtText(std::span<const uint8_t> confirm, char* text);

} // namespace cfc
