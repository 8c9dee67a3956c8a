// An environment variable set for a scope, on every system the tests run on.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace cfctest {

// Sets the variable, or removes it for nothing.
inline void setEnv(const std::string& name, const std::optional<std::string>& value)
{
#ifdef _WIN32
    // An empty value removes the variable there.
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name))
    {
        if (const char* old = std::getenv(name_.c_str()))
            old_ = old;
        setEnv(name_, value);
    }
    ~ScopedEnv() { setEnv(name_, old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace cfctest
