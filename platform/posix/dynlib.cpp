#include "plat/dynlib.h"

#include "common/backend.h"

#include <dlfcn.h>

namespace plat {

std::string DynLib::fileNameFor(const std::string& name)
{
    // A path or a name in the local form is meant literally.
    if (name.find('/') != std::string::npos || detail::endsWithNoCase(name, ".so"))
        return name;
    std::string base = name;
    if (detail::endsWithNoCase(base, ".dll"))
        base.resize(base.size() - 4);
    return "lib" + base + ".so";
}

bool DynLib::open(const std::string& name)
{
    close();
    handle_ = ::dlopen(fileNameFor(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynLib::close()
{
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynLib::symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

} // namespace plat
