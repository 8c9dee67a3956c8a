// What the fake test-system libraries share: one line per call appended to
// the file named by FAKE_TS_LOG, and their answers taken from the
// environment at every call, so one process can try several of them.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

inline void fakeLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void fakeLog(const char* format, ...)
{
    const char* path = std::getenv("FAKE_TS_LOG");
    if (path == nullptr)
        return;
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

inline int fakeNumber(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::atoi(value) : fallback;
}
