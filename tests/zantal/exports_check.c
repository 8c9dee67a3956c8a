/* Loads libZANTAL.so as an installer would, by path with dlopen, and calls
 * every export by name over an empty temporary store. Exit status 0 when
 * every export is there and answers as an empty system should. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures;
static int checks;

static void check(int ok, const char* what)
{
    ++checks;
    if (!ok) {
        ++failures;
        fprintf(stderr, "FAILED: %s\n", what);
    }
}

static void* need(void* library, const char* name)
{
    void* address = dlsym(library, name);
    check(address != NULL, name);
    if (!address) {
        fprintf(stderr, "%s is not exported\n", name);
        exit(1);
    }
    return address;
}

/* dlsym gives an object pointer; copying its bytes is the portable way to a
   function pointer. */
#define BIND(function, name)                                                                       \
    do {                                                                                           \
        void* address = need(library, name);                                                       \
        memcpy(&(function), &address, sizeof address);                                             \
    } while (0)

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s path/to/libZANTAL.so\n", argv[0]);
        return 2;
    }
    char root[] = "/tmp/zantal-c-XXXXXX";
    if (!mkdtemp(root))
        return 2;
    char store[64], sysfs[64];
    snprintf(store, sizeof store, "%s/store", root);
    snprintf(sysfs, sizeof sysfs, "%s/sys", root);
    setenv("ZANTAL_ROOT", store, 1);
    setenv("ZANTAL_SYSFS_ROOT", sysfs, 1);
    setenv("CFC_COM250", "/nonexistent/tty", 1);

    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    void (*findPorts)(char*, uint32_t, int32_t*);
    void (*findUsbPorts)(char*, uint32_t, int32_t*);
    int32_t (*maxSpeed)(const char*, char*);
    int32_t (*attachedTo)(const char*, char*);
    int32_t (*portSpeed)(const char*, char*);
    int32_t (*install)(const char*, uint32_t, const char*, const char*, const uint32_t*, char*);
    int32_t (*byId)(const char*);
    int32_t (*byName)(const char*);
    int32_t (*admin)(void);
    int32_t (*addRas)(const char*, const char*, const char*);
    int32_t (*rasDevice)(const char*, char*);
    int32_t (*deleteRas)(const char*);
    BIND(findPorts, "ZANTAL_FindAllHardwarePorts");
    BIND(findUsbPorts, "ZANTAL_FindAllHardwareUSBPorts");
    BIND(maxSpeed, "ZANTAL_GetMaxComPortSpeed");
    BIND(attachedTo, "ZANTAL_GetAttachedToByFriendlyName");
    BIND(portSpeed, "ZANTAL_GetMaximumPortSpeedByFriendlyName");
    BIND(install, "ZANTAL_InstallModem");
    BIND(byId, "ZANTAL_DeinstallModemByID");
    BIND(byName, "ZANTAL_DeinstallModemByFriendlyName");
    BIND(admin, "ZANTAL_HasAdminRights");
    BIND(addRas, "ZANTAL_AddRasEntry");
    BIND(rasDevice, "ZANTAL_GetRasDevice");
    BIND(deleteRas, "ZANTAL_DeleteRasEntry");
    check(dlsym(library, "bindSetupApi") == NULL &&
              dlsym(library, "_ZN6zantal12bindSetupApiEv") == NULL,
          "internals stay hidden");

    char list[32] = "x";
    int32_t count = -1;
    findPorts(list, sizeof list, &count);
    check(count == 0 && list[0] == '\0', "no serial ports in an empty tree");
    count = -1;
    findUsbPorts(list, sizeof list, &count);
    check(count == 0 && list[0] == '\0', "no USB ports in an empty tree");

    char speed[12] = "untouched";
    check(maxSpeed("COM250", speed) == 2 && strcmp(speed, "untouched") == 0,
          "missing port cannot be opened");
    check(attachedTo("Nothing", speed) == 0, "no modem to ask about");
    check(portSpeed("Nothing", speed) == 0, "no modem to ask the speed of");

    uint32_t rate = 115200;
    char friendly[260] = "untouched";
    check(install("/nonexistent.inf", 0, "ID", "COM1", &rate, friendly) == 0 &&
              strcmp(friendly, "untouched") == 0,
          "install from a missing file fails");
    check(byId("") == 1, "removing no modem succeeds");
    check(byName("Nothing") == 0, "removing an absent modem by name fails");
    int32_t rights = admin();
    check(geteuid() == 0 ? rights == 1 : (rights == 0 || rights == 1), "rights check answers");

    char device[129] = "";
    check(addRas("Entry", "Modem", "*99#") == 1, "entry added");
    check(rasDevice("Entry", device) == 1 && strcmp(device, "Modem") == 0, "entry's device read");
    check(deleteRas("Entry") == 1, "entry deleted");
    check(deleteRas("Entry") == 0, "entry gone");

    dlclose(library);
    char command[96];
    snprintf(command, sizeof command, "rm -rf '%s'", root);
    if (system(command) != 0)
        fprintf(stderr, "could not remove %s\n", root);
    printf("%d passed, %d failed\n", checks - failures, failures);
    return failures == 0 ? 0 : 1;
}
