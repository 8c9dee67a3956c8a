// The test system's device under test: fixed values, and the device's port
// from FAKE_TS_PORT.
#include "fake_log.h"

#include <cstdint>

extern "C" {

int32_t Drumvel_Oskat()
{
    fakeLog("Oskat");
    return 11;
}
int32_t Drumvel_Tarvin()
{
    fakeLog("Tarvin");
    return 22;
}
int32_t Drumvel_Wemblo()
{
    fakeLog("Wemblo");
    return 33;
}
int32_t Drumvel_Hespar()
{
    fakeLog("Hespar");
    return 4;
}
int32_t Drumvel_Quibon(int32_t device, int32_t* port)
{
    fakeLog("Quibon device=%d", device);
    *port = fakeNumber("FAKE_TS_PORT", 1);
    return 0;
}
}
