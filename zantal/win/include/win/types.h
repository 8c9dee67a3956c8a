// The Windows vocabulary ZANTAL is written in: integer types, handles,
// result codes and the calling thread's last error. On Windows these are the
// system's own declarations, brought into namespace win; on Linux our layer
// (libzantalwin) provides them, under the original host's spelling, so the
// installation logic is one source for both.
//
// Many of the system's names are macros there, so code names them
// unqualified (with `using namespace win;`), never as win::NAME.
#pragma once

#include <cstdint>

#ifdef _WIN32

#include <windows.h>

namespace win {

using ::BOOL;
using ::BYTE;
using ::DWORD;
using ::GUID;
using ::HANDLE;
using ::HKEY;
using ::HWND;
using ::LONG;
using ::REGSAM;
using ::UINT;
using ::ULONG_PTR;
using ::WORD;

using ::GetLastError;
using ::SetLastError;

} // namespace win

#else

namespace win {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using BOOL = int32_t;
using ULONG_PTR = uintptr_t;
using HANDLE = void*;
using HWND = void*;
using REGSAM = DWORD;

struct HKEY__;
using HKEY = HKEY__*;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

bool operator==(const GUID& a, const GUID& b);

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

// System error codes.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_BADKEY = 1010;
inline constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr DWORD ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;

// The calling thread's last error, as the Win32 calls of this layer and the
// SetupAPI stand-in leave it.
DWORD GetLastError();
void SetLastError(DWORD error);

} // namespace win

#endif
