// The gain words and RSSI values of an AGC calibration spread from two
// measured points over the 26 gain steps a band's table holds.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_trace.h"

#include <array>

namespace cfc {

namespace {

constexpr size_t kGainSteps = 26;
constexpr size_t kFirstRangeEnd = 7; // results 0 to 6 come from the first point
constexpr uint16_t kStepMask = 0x3F;
constexpr int kTopStep = 45;
constexpr int kRssiPerStep = 32;
constexpr std::array<uint16_t, 3> kIndexArray = {3, 4, 15};

// A trace that goes nowhere when the value names no connection, since these
// two do not check the handle.
void line(const Connection* connection, uint16_t level, const char* format, int a, int b, int c = 0)
{
    if (connection != nullptr)
        TraceLineF(connection->trace, level, format, a, b, c);
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WGetGwIndexArray(uint32_t handle, uint16_t* pIndexArray)
{
    (void)handle;
    if (pIndexArray == nullptr)
        return 0;
    std::copy(kIndexArray.begin(), kIndexArray.end(), pIndexArray);
    return 1;
}

int32_t WSendGwRssiMPoints(uint32_t handle, const uint16_t* pGainWords, const int16_t* pRssi,
                           uint16_t* pGainWordResult, int16_t* pRssiResult)
{
    if (pGainWords == nullptr || pRssi == nullptr || pGainWordResult == nullptr ||
        pRssiResult == nullptr)
        return 0;
    const Connection* connection = ConnectionOfBits(handle);
    line(connection, 4, "(CFC ) WSendGwRssiMPoints(gainWord[0]=0x%x, gainWord[1]=0x%x)",
         pGainWords[0], pGainWords[1]);
    line(connection, 4, "(CFC ) WSendGwRssiMPoints(RSSI[0]=%x,RSSI[1]=%x )", pRssi[0], pRssi[1]);

    for (size_t i = 0; i < kGainSteps; ++i) {
        const size_t point = i < kFirstRangeEnd ? 0 : 1;
        const uint16_t source = pGainWords[point];
        const int sourceStep = source & kStepMask;
        // Result i lies 2i - 8 (first point) or 2i - 30 (second) steps from
        // its point.
        const int shift = static_cast<int>(2 * i) - (point == 0 ? 8 : 30);
        int step = sourceStep + shift;
        int rssi = pRssi[point];
        if (step < 0) {
            line(connection, 6,
                 "(CFC ) WSendGwRssiMPoints: underflow -> step %d, gainWord[%d] 0x%x",
                 static_cast<int>(i), static_cast<int>(point), source);
            rssi += kRssiPerStep * -step;
            step = 0;
        } else if (step > kTopStep) {
            line(connection, 6,
                 "(CFC ) WSendGwRssiMPoints: overflow -> step %d, gainWordResult[%d] 0x%x", step,
                 static_cast<int>(i), (source & ~kStepMask) | step);
            rssi += kRssiPerStep * (kTopStep - step);
            step = kTopStep;
        }
        // The step moves within its six bits; the word's other bits stay.
        pGainWordResult[i] = static_cast<uint16_t>((source & ~kStepMask) | step);
        pRssiResult[i] = static_cast<int16_t>(rssi);
    }
    if (connection != nullptr) {
        TraceWords(connection->trace, 7, "(CFC ) WSendGwRssiMPoints: gainWordResult ->",
                   pGainWordResult, static_cast<int32_t>(kGainSteps));
        std::array<uint16_t, kGainSteps> rssiWords{};
        for (size_t i = 0; i < kGainSteps; ++i)
            rssiWords[i] = static_cast<uint16_t>(pRssiResult[i]);
        TraceWords(connection->trace, 7, "(CFC ) WSendGwRssiMPoints: rssiResult     ->",
                   rssiWords.data(), static_cast<int32_t>(kGainSteps));
    }
    return 1;
}

} // extern "C"
