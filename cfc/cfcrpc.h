// Remote procedure calls into the module's firmware on the main path. Each
// draws its reference, makes sure the target version is known, sends its
// request and judges its confirm; the result is 0 or one of the kRpc numbers.
// The calls do not check the handle; the public operations above them do.
#pragma once

#include "cfcmsg.h"
#include "cfcrpc_engine.h"
#include "cfcrpc_version.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

class Connection;
class TraceChannel;

namespace rpc {

// The calls of one request and one confirm under one wait. The others stay
// hand-written: the switch-off awaits no confirm; an AT command line takes
// its echo and then its response under a second wait; a received AT text
// answers no request; and the Java autostart request is sent again under a
// second id when some firmware stays silent.
// Name, request id, request size, confirm size, wait, flags.
// clang-format off
constexpr CallDef kGetCurrentOperationMode {"CFCRPCGetCurrentOperationMode", CFCRequestGetCurrentOperationMode, 2, 5, kThree, 0};
constexpr CallDef kSetCurrentOperationMode {"CFCRPCSetCurrentOperationMode", CFCRequestSetCurrentOperationMode, 3, 4, kFive,  kAnyReference};
constexpr CallDef kCalDevGsmFinish         {"CFCRPCCalDevGsmFinish",         CFCRequestCalDevGsmFinish,         2, 2, kThree, 0};
// clang-format on

} // namespace rpc

// The AT command line's text area; a command holds at most 126 characters so
// that its carriage return and zero byte fit.
inline constexpr size_t kAtTextArea = 128;
inline constexpr size_t kMaxAtCommandLength = kAtTextArea - 2;
// A response area: the longest text with every character escaped, and a zero.
inline constexpr size_t kAtResponseSize = 4 * kAtTextArea + 1;

uint16_t CFCRPCGetCurrentOperationMode(Connection& connection, uint8_t* mode);
uint16_t CFCRPCSetCurrentOperationMode(Connection& connection, uint8_t mode);
uint16_t CFCRPCCalDevGsmFinish(Connection& connection);
// 0 once the request was sent; no confirm is awaited.
uint16_t CFCRPCSwitchOff(Connection& connection);
// Sends `command` (at most kMaxAtCommandLength characters) and waits for its
// echo; with a `response` area of kAtResponseSize bytes also for the
// response, whose line ends come back escaped as "<CR>" and "<LF>".
uint16_t CFCRPCSendAtCommand(Connection& connection, const char* command, char* response);
// Takes one AT text the firmware sent, escaped into kAtResponseSize bytes.
uint16_t CFCRPCReceiveAtCommand(Connection& connection, char* text);
uint16_t CFCRPCSwitchJavaAutoStart(Connection& connection, uint8_t onOff);

// Copies the zero-terminated `text` into `target` with every line feed written
// as "<LF>" and every carriage return as "<CR>", always zero-terminated and
// never beyond targetSize bytes (4 * length + 1 always suffice); an escape
// that does not fit whole is left out. Returns the length of `text`.
size_t EscapeLineEnds(const char* text, char* target, size_t targetSize);

// The judgements of the confirms, apart from their reception so that any
// confirm bytes can be judged. `confirm` is the whole confirm area; bytes the
// module did not send read as zero.
uint16_t JudgeOperationModeConfirm(std::span<const uint8_t> confirm, uint8_t* mode);
uint16_t JudgeStatusConfirm(std::span<const uint8_t> confirm);
uint16_t JudgeAutoStartConfirm(const TraceChannel& trace, std::span<const uint8_t> confirm);
// Whether an AT confirm of `received` bytes holds its whole text: the full
// text area, or a zero byte that ends the text within what came.
bool AtTextWhole(std::span<const uint8_t> confirm, size_t received);
// The text area's text (up to its first zero byte) escaped into `text`.
void TakeAtText(std::span<const uint8_t> confirm, char* text);

} // namespace cfc
