#include "system_library.h"

#include <cstring>
#include <windows.h>

namespace zantal {

bool SystemLibrary::open(const char* name)
{
    close();
    handle_ = LoadLibraryA(name);
    return handle_ != nullptr;
}

void SystemLibrary::close()
{
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* SystemLibrary::symbol(const char* name) const
{
    if (!handle_)
        return nullptr;
    const FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
    // An export's address is handed on as plain data; the binding gives it
    // back its type.
    void* data = nullptr;
    static_assert(sizeof data == sizeof address);
    std::memcpy(&data, &address, sizeof data);
    return data;
}

} // namespace zantal
