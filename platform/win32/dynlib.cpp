#include "plat/dynlib.h"

#include "common/backend.h"

#include <windows.h>

namespace plat {

std::string DynLib::fileNameFor(const std::string& name)
{
    // A path or a name with its extension is meant literally; a bare name is
    // a DLL, as LoadLibrary itself would assume.
    if (name.find_first_of("/\\") != std::string::npos || detail::endsWithNoCase(name, ".dll"))
        return name;
    return name + ".dll";
}

bool DynLib::open(const std::string& name)
{
    close();
    // A missing library is an ordinary answer here, not a reason for the
    // system to show the user a message box.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = reinterpret_cast<void*>(::LoadLibraryA(fileNameFor(name).c_str()));
    ::SetErrorMode(previous);
    return handle_ != nullptr;
}

void DynLib::close()
{
    if (handle_) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

void* DynLib::symbol(const char* name) const
{
    return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name))
                   : nullptr;
}

} // namespace plat
