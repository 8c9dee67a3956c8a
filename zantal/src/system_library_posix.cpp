// On Linux the platform layer loads the library: it maps the original host's
// names ("setupapi.dll") onto ours, and as its dlopen is made from this
// library, our RUNPATH decides which copy is found.
#include "system_library.h"

#include "plat/dynlib.h"

#include <memory>

namespace zantal {

namespace {

plat::DynLib& loaded(void* handle)
{
    return *static_cast<plat::DynLib*>(handle);
}

} // namespace

bool SystemLibrary::open(const char* name)
{
    close();
    auto library = std::make_unique<plat::DynLib>();
    if (!library->open(name))
        return false;
    handle_ = library.release();
    return true;
}

void SystemLibrary::close()
{
    delete static_cast<plat::DynLib*>(handle_);
    handle_ = nullptr;
}

void* SystemLibrary::symbol(const char* name) const
{
    return handle_ ? loaded(handle_).symbol(name) : nullptr;
}

} // namespace zantal
