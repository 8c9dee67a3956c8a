/* ZANTAL.dll as an installer meets it: loaded by name, every export found by
 * name, then the calls that need no modem driver run against the system.
 * Where the system stubs a call (Wine's SetupAPI has no modem class installer
 * and its phone book may keep nothing), the step prints "SKIP: <reason>" and
 * is passed over; anything else that goes wrong prints "FAIL: ..." and the
 * exit code is 1.
 *
 * zantal_check [<port>]: a port the system maps to a device (under Wine, a
 * pseudo-terminal named in its Ports key) must be in the port list, as the
 * system's serial-port map shows it, and is probed for its speed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <setupapi.h>

typedef void(__cdecl* ListPorts)(char*, unsigned, int*);
typedef int(__cdecl* PortSpeed)(const char*, char*);
typedef int(__cdecl* ByName)(const char*, char*);
typedef int(__cdecl* ByText)(const char*);
typedef int(__cdecl* NoArguments)(void);
typedef int(__cdecl* AddEntry)(const char*, const char*, const char*);
typedef int(__cdecl* Install)(const char*, unsigned, const char*, const char*, const unsigned*,
                              char*);

static const char* const kExports[] = {
    "ZANTAL_FindAllHardwarePorts",
    "ZANTAL_FindAllHardwareUSBPorts",
    "ZANTAL_GetMaxComPortSpeed",
    "ZANTAL_GetAttachedToByFriendlyName",
    "ZANTAL_GetMaximumPortSpeedByFriendlyName",
    "ZANTAL_InstallModem",
    "ZANTAL_DeinstallModemByID",
    "ZANTAL_DeinstallModemByFriendlyName",
    "ZANTAL_HasAdminRights",
    "ZANTAL_AddRasEntry",
    "ZANTAL_GetRasDevice",
    "ZANTAL_DeleteRasEntry",
};
enum { kExportCount = sizeof kExports / sizeof kExports[0] };

static HMODULE g_library;
static int g_failures;

static void fail(const char* what)
{
    printf("FAIL: %s\n", what);
    ++g_failures;
}

/* As the untyped function pointer every export's type is cast from. */
typedef void (*AnyFunction)(void);

static AnyFunction find(const char* name)
{
    return (AnyFunction)GetProcAddress(g_library, name);
}

/* A list holds the name as one of its comma-separated items. */
static int listed(const char* list, const char* name)
{
    size_t length = strlen(name);
    const char* at = list;
    while ((at = strstr(at, name)) != NULL) {
        if ((at == list || at[-1] == ',') && (at[length] == ',' || at[length] == '\0'))
            return 1;
        at += length;
    }
    return 0;
}

static void checkRights(void)
{
    int admin = ((NoArguments)find("ZANTAL_HasAdminRights"))();
    printf("HasAdminRights: %d\n", admin);
    if (admin != 0 && admin != 1)
        fail("HasAdminRights answers neither 0 nor 1");
}

static void setMapValue(const char* device, const char* port)
{
    HKEY map;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", 0, NULL, 0,
                        KEY_SET_VALUE, NULL, &map, NULL) != ERROR_SUCCESS) {
        fail("cannot write the serial-port map");
        return;
    }
    RegSetValueExA(map, device, 0, REG_SZ, (const BYTE*)port, (DWORD)strlen(port) + 1);
    RegCloseKey(map);
}

static void checkPortLists(const char* port)
{
    char list[512];
    char usb[512];
    int count = -1;
    int usbCount = -1;
    setMapValue("\\Device\\USBSER000", "COM42");
    ((ListPorts)find("ZANTAL_FindAllHardwarePorts"))(list, sizeof list, &count);
    ((ListPorts)find("ZANTAL_FindAllHardwareUSBPorts"))(usb, sizeof usb, &usbCount);
    printf("ports: \"%s\" (%d), USB ports: \"%s\" (%d)\n", list, count, usb, usbCount);
    if (port && !listed(list, port))
        fail("the mapped port is not in the port list");
    /* Wine has no USB serial ports; one is entered in the map as a USB
     * adapter's driver names it. */
    if (listed(list, "COM42") || !listed(usb, "COM42") || usbCount < 1)
        fail("the USB port is not listed by the USB variant alone");

    ((ListPorts)find("ZANTAL_FindAllHardwarePorts"))(list, 0, &count);
    if (count != 0)
        fail("a zero-sized buffer lists ports");
}

static void checkPortSpeed(const char* port)
{
    char speed[7] = "x";
    int result = ((PortSpeed)find("ZANTAL_GetMaxComPortSpeed"))("COM199", speed);
    if (result != 2 || strcmp(speed, "x") != 0)
        fail("a port that does not exist is not reported as unopenable");
    if (!port)
        return;
    result = ((PortSpeed)find("ZANTAL_GetMaxComPortSpeed"))(port, speed);
    printf("GetMaxComPortSpeed(%s): %d \"%s\"\n", port, result, result == 2 ? "" : speed);
    if (result == 2)
        fail("the mapped port cannot be opened");
    else if (result == 0 && strtol(speed, NULL, 10) < 9600)
        fail("an accepted speed below the probe list");
}

static void checkSetupApi(void)
{
    char out[260] = "untouched";
    unsigned speed = 115200;
    GUID modemClass;
    DWORD classes = 0;
    /* Without the class every SetupAPI-based export stops at its first step. */
    if (!SetupDiClassGuidsFromNameA("Modem", &modemClass, 1, &classes) || classes == 0) {
        printf("SKIP: this system's SetupAPI knows no \"Modem\" class (no modem class "
               "installer), so no modem can be installed, found or removed\n");
        return;
    }
    /* An empty ID list removes nothing and succeeds once SetupAPI is bound. */
    if (((ByText)find("ZANTAL_DeinstallModemByID"))("") != 1)
        fail("SetupAPI cannot be bound");
    if (((ByName)find("ZANTAL_GetAttachedToByFriendlyName"))("No Such Modem", out) != 0 ||
        strcmp(out, "untouched") != 0)
        fail("a modem that is not present answers the friendly-name query");
    if (((ByText)find("ZANTAL_DeinstallModemByFriendlyName"))("No Such Modem") != 0)
        fail("removing a modem that is not present succeeds");
    if (((Install)find("ZANTAL_InstallModem"))("C:\\no\\such.inf", 0, "ZNT_GSM_A", "COM3", &speed,
                                               out) != 0)
        fail("installing from a missing INF file succeeds");
    printf("SKIP: installing a modem needs driver lists of the modem class, which this "
           "system's SetupAPI does not build\n");
}

static void checkRas(void)
{
    char device[129] = "untouched";
    const char* entry = "ZANTAL check entry";
    int added = ((AddEntry)find("ZANTAL_AddRasEntry"))(entry, "Check Modem", "*99#");
    int found = ((ByName)find("ZANTAL_GetRasDevice"))(entry, device);
    printf("AddRasEntry: %d, GetRasDevice: %d \"%s\"\n", added, found, device);
    if (added && found && device[0] == '\0') {
        printf("SKIP: this system's RAS entry calls are stubs: they report success and keep "
               "nothing\n");
        return;
    }
    if (!added || !found) {
        fail("the entry cannot be written and read back");
        return;
    }
    if (strcmp(device, "Check Modem") != 0)
        fail("the entry's device is not the one written");
    if (((ByText)find("ZANTAL_DeleteRasEntry"))(entry) != 1)
        fail("the entry cannot be deleted");
    if (((ByName)find("ZANTAL_GetRasDevice"))(entry, device) != 0)
        fail("a deleted entry is still found");
}

int main(int argc, char** argv)
{
    const char* port = argc > 1 ? argv[1] : NULL;
    int i;
    setvbuf(stdout, NULL, _IONBF, 0);
    g_library = LoadLibraryA("ZANTAL.dll");
    if (!g_library) {
        printf("FAIL: LoadLibrary(\"ZANTAL.dll\") fails with error %lu\n", GetLastError());
        return 1;
    }
    for (i = 0; i < kExportCount; ++i)
        if (!find(kExports[i])) {
            printf("FAIL: %s is not exported\n", kExports[i]);
            return 1;
        }
    printf("all %d exports found\n", kExportCount);
    checkRights();
    checkPortLists(port);
    checkPortSpeed(port);
    checkSetupApi();
    checkRas();
    printf(g_failures ? "zantal_check: %d failed\n" : "zantal_check: passed\n", g_failures);
    return g_failures ? 1 : 0;
}
