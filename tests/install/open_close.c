/* A program outside the tree: opens the module's port through the installed
 * shared library, reads the library version and closes again. */
#include <cfc.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    const int port = argc > 1 && strncmp(argv[1], "com", 3) == 0 ? atoi(argv[1] + 3) : 3;
    const uint32_t handle = WComOpen(port, 115200, 0);
    if (handle == 0) {
        char path[256];
        char reason[128];
        WGetLastOpenFailure(NULL, NULL, path, sizeof path, reason, sizeof reason);
        fprintf(stderr, "COM%d (%s) cannot be opened: %s\n", port, path, reason);
        return 1;
    }
    if (WGetVersion() != 0x00014000u) {
        fprintf(stderr, "unexpected library version %08x\n", (unsigned)WGetVersion());
        return 1;
    }
    if (!WComClose(handle)) {
        fprintf(stderr, "close failed with error %u\n", (unsigned)WGetLastError(handle));
        return 1;
    }
    printf("opened and closed COM%d through the installed library\n", port);
    return 0;
}
