#include "progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define CFCTOOL_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define CFCTOOL_ISATTY(f) isatty(fileno(f))
#endif

namespace cfctool {

Progress::Progress() : terminal_(CFCTOOL_ISATTY(stderr) != 0) {}

Progress::~Progress()
{
    if (terminal_ && shown_ != 0)
        std::fputc('\n', stderr);
}

void Progress::show(const std::string& text)
{
    if (!terminal_)
        return;
    // Blanks over what is left of a longer line before.
    const size_t pad = shown_ > text.size() ? shown_ - text.size() : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
    shown_ = text.size();
}

} // namespace cfctool
