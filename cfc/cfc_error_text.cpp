// Words for the codes a connection keeps as its last error, so that a
// production program has something to print beside the number.
#include "cfc.h"

#include "cfc_connection.h"

#include "plat/system_error.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

using namespace cfc;

namespace {

// Several codes carry one meaning in the link layers and another as a call's
// result. Only what can become a last error is said; where both can, both.
constexpr std::array<const char*, 21> kCodeTexts{{
    /* 0 */ "no error",
    /* 1 */ "the request was not sent to the module",
    /* 2 */ "no confirm from the module in time",
    /* 3 */ "the port's connection is already open in this program",
    /* 4 */
    "the port cannot be opened or configured, or no confirm carried the request's "
    "reference",
    /* 5 */ "the module's confirm reports failure or is not the expected one",
    /* 6 */ "the module reports an undefined calibration item state",
    /* 7 */ "a byte outside a frame broke the frame synchronisation",
    /* 8 */ "time-out: the module did not answer in time",
    /* 9 */ "system failure: the operating system refused a port operation or memory",
    /* 10 */ "not a connection handle",
    /* 11 */ "bad argument: a missing area or a size beyond what the operation holds",
    /* 12 */ "invalid band (bands are 0 to 3)",
    /* 13 */ "invalid AM loop offset (0x40 or more)",
    /* 14 */ "invalid modulation mode (0 GMSK or 1 8PSK)",
    /* 15 */ "invalid ramp DAC value (1024 or more)",
    /* 16 */ "the module found no frequency burst (status neither 1 nor 2)",
    /* 17 */ "the module confirmed the operation mode but did not take it",
    /* 18 */ "the module did not switch off",
    /* 19 */ "the module's serial line did not come to EMMI mode",
    /* 20 */ "the module did not start up",
}};

constexpr const char* kUnknownCode = "unknown error code";

// 700 + the module's signed status byte.
constexpr int kStatusLowest = EMMIERR_STATUS_BASE - 128;
constexpr int kStatusHighest = EMMIERR_STATUS_BASE + 127;

// One fixed text per status, formed once: callers may keep the pointer.
const char* statusText(int status)
{
    static const std::array<std::string, kStatusHighest - kStatusLowest + 1> texts = [] {
        std::array<std::string, kStatusHighest - kStatusLowest + 1> all;
        for (int code = kStatusLowest; code <= kStatusHighest; ++code) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "the module refused the identity or security request with status %d",
                          code - EMMIERR_STATUS_BASE);
            all[static_cast<size_t>(code - kStatusLowest)] = text;
        }
        return all;
    }();
    return texts[static_cast<size_t>(status - kStatusLowest)].c_str();
}

} // namespace

extern "C" {

const char* WGetErrorText(uint16_t code)
{
    if (code < kCodeTexts.size())
        return kCodeTexts[code];
    // A status of 0 is success and never becomes a result.
    if (code >= kStatusLowest && code <= kStatusHighest && code != EMMIERR_STATUS_BASE)
        return statusText(code);
    return kUnknownCode;
}

uint32_t WGetLastErrorText(uint32_t handle, char* text, uint32_t size)
{
    if (text != nullptr && size > 0)
        text[0] = '\0';
    const Connection* connection = ConnectionOf(handle);
    if (connection == nullptr || text == nullptr || size == 0)
        return 0;
    const uint16_t code = connection->lastError();
    std::string words = WGetErrorText(code);
    if (const int systemError = connection->lastSystemError(); systemError != 0)
        words += ": " + plat::systemErrorText(systemError) + " (system error " +
                 std::to_string(systemError) + ")";
    const size_t length = std::min<size_t>(words.size(), size - 1);
    std::memcpy(text, words.data(), length);
    text[length] = '\0';
    return static_cast<uint32_t>(length);
}

} // extern "C"
