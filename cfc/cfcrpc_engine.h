// What every remote procedure call shares: the reference counter, request
// payloads packed field by field, confirm fields read back, and the waits for
// a confirm under the three disciplines. A call is then its request layout,
// its confirm layout and its judgement.
#pragma once

#include "emmierr.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace cfc {
class MessageLink;
class TraceChannel;
} // namespace cfc

namespace cfc {

inline constexpr uint16_t kRpcOk = CFCRPC_OK;
inline constexpr uint16_t kRpcNotSent = CFCRPC_NOT_SENT;
inline constexpr uint16_t kRpcNoConfirm = CFCRPC_NO_CONFIRM;
inline constexpr uint16_t kRpcBadReference = CFCRPC_BAD_REFERENCE;
inline constexpr uint16_t kRpcBadConfirm = CFCRPC_BAD_CONFIRM;
inline constexpr uint16_t kRpcUndefinedItemState = CFCRPC_UNDEFINED_ITEM_STATE;
inline constexpr uint16_t kRpcNoMemory = CFCRPC_NO_MEMORY;

} // namespace cfc

namespace cfc::rpc {

// One counter for the whole process: each draw returns the current value
// and advances it, wrapping from 65535 to 0.
uint16_t DrawReference();

// Packs little-endian fields into an area. A field that does not fit is not
// written and marks the payload as overflowed, which a call treats as a
// request that cannot be sent.
class Payload {
public:
    explicit Payload(std::span<uint8_t> area) : area_(area) {}

    Payload& u8(uint8_t value);
    Payload& le16(uint16_t value);
    Payload& le32(uint32_t value);
    Payload& bytes(std::span<const uint8_t> values);
    // `count` bytes of the area skipped, left as the caller filled them.
    Payload& skip(size_t count);

    const uint8_t* data() const { return area_.data(); }
    uint16_t size() const { return static_cast<uint16_t>(size_); }
    bool overflowed() const { return overflowed_; }

private:
    uint8_t* reserve(size_t count);

    std::span<uint8_t> area_;
    size_t size_ = 0;
    bool overflowed_ = false;
};

// Reads little-endian fields of a confirm at their offsets; a field beyond
// the confirm reads as zero.
class Fields {
public:
    explicit Fields(std::span<const uint8_t> confirm) : confirm_(confirm) {}

    uint8_t u8(size_t offset) const;
    int8_t i8(size_t offset) const { return static_cast<int8_t>(u8(offset)); }
    uint16_t le16(size_t offset) const;
    int16_t i16(size_t offset) const { return static_cast<int16_t>(le16(offset)); }
    uint32_t le32(size_t offset) const;
    // Up to `count` bytes from `offset`, fewer where the confirm ends.
    std::span<const uint8_t> bytes(size_t offset, size_t count) const;

private:
    std::span<const uint8_t> confirm_;
};

// Where the reference sits in every request and confirm that carries one.
inline constexpr size_t kReferenceOffset = 0;

enum class Discipline : uint8_t {
    // A failed reception ends the wait at once; a confirm with a foreign
    // reference is traced and the next one taken, three in all.
    ThreeReceptions,
    // Five receptions; a failed one and a foreign reference both lead to the
    // next, silently, and the last one decides.
    FiveAttempts,
};

struct ConfirmWait {
    uint16_t id = 0;
    Discipline discipline = Discipline::ThreeReceptions;
    // False: any reference is taken.
    bool compareReference = true;
    // Names the call in the trace of a foreign reference (calls with an
    // allocated confirm area do); null for the common text.
    const char* callName = nullptr;
};

enum class Reception : uint8_t {
    Matched, // the area holds a confirm with the right reference
    Missing, // the last reception failed: nothing came in time
    Foreign, // the area holds the last confirm, whose reference was foreign
};

// Waits for the confirm. Before every reception the area is zeroed, so no
// byte of an earlier confirm or of uninitialised memory is ever read;
// `received` (when given) takes the length of the last confirm taken, which
// tells a confirm cut short from one of the full size.
Reception AwaitConfirm(MessageLink& messages, const TraceChannel& trace, const ConfirmWait& wait,
                       uint16_t reference, std::span<uint8_t> area, size_t* received = nullptr);
// 0, 2 or 4.
uint16_t ResultOf(Reception reception);
// The result of a request that did not go out: 9 when the port refused the
// write (a system failure), else 1.
uint16_t NotSentResult(uint8_t sendCode);

// A zeroed area of `size` bytes for a confirm whose size the caller decides,
// or null when there is no memory.
std::unique_ptr<uint8_t[]> AllocateArea(size_t size);

// One call: the reference is drawn when it is made, before anything else;
// then the request can be sent and its confirm awaited.
class Call {
public:
    Call(MessageLink& messages, const TraceChannel& trace);

    uint16_t reference() const { return reference_; }

    // True when the request went out whole.
    bool send(uint16_t id, const Payload& request) const;
    // After a send that failed: 9 when the port refused it, else 1.
    uint16_t notSent() const { return notSent_; }
    Reception await(const ConfirmWait& wait, std::span<uint8_t> area) const;
    // The length of the confirm the last await took (0 when none came).
    size_t received() const { return received_; }
    // Sends, then waits: 0 with the matching confirm in `area`, else 1, 2, 4
    // or 9 (a refused write).
    uint16_t exchange(uint16_t id, const Payload& request, const ConfirmWait& wait,
                      std::span<uint8_t> area) const;
    // The same, and 5 for a matching confirm shorter than `needed` bytes: a
    // field the call judges or delivers is missing.
    uint16_t exchange(uint16_t id, const Payload& request, const ConfirmWait& wait,
                      std::span<uint8_t> area, size_t needed) const;

private:
    MessageLink& messages_;
    const TraceChannel& trace_;
    uint16_t reference_;
    mutable uint16_t notSent_ = kRpcNotSent;
    mutable size_t received_ = 0;
};

} // namespace cfc::rpc
