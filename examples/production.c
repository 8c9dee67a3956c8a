/* A production line's program: through the CFC library it brings the
 * module into service mode, reads its IMEI, writes a user item and reads it
 * back. Run it as "production com3".
 *
 * Linux:   cc production.c $(pkg-config --cflags --libs cfc) -o production
 * Windows, in the kit's folder, with MinGW-w64:
 *          gcc examples\production.c -Iinclude -Llib -lcfc -o production.exe
 *          (cfc.dll from bin beside it or on PATH) */
#include <cfc.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(uint32_t handle, const char* step)
{
    fprintf(stderr, "%s failed with error %u\n", step, (unsigned)WGetLastError(handle));
    WComClose(handle);
    return 1;
}

int main(int argc, char** argv)
{
    const int port = argc > 1 && strncmp(argv[1], "com", 3) == 0 ? atoi(argv[1] + 3) : 3;
    const uint32_t handle = WComOpen(port, 115200, 0);
    if (handle == 0) {
        fprintf(stderr, "COM%d cannot be opened\n", port);
        return 1;
    }
    if (!WInitServiceMode(handle))
        return fail(handle, "service mode");
    uint8_t imei[8];
    if (!WReadIMEI(handle, imei))
        return fail(handle, "IMEI read");
    const uint8_t item[6] = {'L', 'I', 'N', 'E', '-', '7'};
    if (!WWriteNVRAMUserItem(handle, 4711, 0, item, sizeof item))
        return fail(handle, "user item write");
    uint8_t back[16];
    uint16_t length = 0;
    if (!WReadNVRAMUserItem(handle, 4711, 0, back, sizeof back, &length))
        return fail(handle, "user item read");
    if (length != sizeof item || memcmp(back, item, sizeof item) != 0) {
        fprintf(stderr, "user item read back as %u other bytes\n", (unsigned)length);
        WComClose(handle);
        return 1;
    }
    WComClose(handle);
    printf("IMEI %02x%02x%02x%02x%02x%02x%02x%02x, user item 4711 written and read back\n", imei[0],
           imei[1], imei[2], imei[3], imei[4], imei[5], imei[6], imei[7]);
    return 0;
}
