#include "progress_line.h"

#include "wait_progress.h"

#include "cfc.h"

#include <mutex>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vornax {
namespace {

constexpr std::size_t kDefaultColumns = 80;

// The job's thread reports, a stop watcher may end the line meanwhile.
std::mutex g_mutex;
std::FILE* g_err = nullptr;
frontend::WaitTracker g_tracker;
std::size_t g_shown = 0;
bool g_ended = false;

bool isTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

// A line longer than the terminal would wrap, and the carriage return
// would then write over its second part only.
std::size_t columns(std::FILE* stream)
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    if (::GetConsoleScreenBufferInfo(console, &info) && info.dwSize.X > 0)
        return static_cast<std::size_t>(info.dwSize.X);
#else
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return kDefaultColumns;
}

// Plain blanks rather than terminal escapes: every console knows them.
void drawLocked(const std::string& text)
{
    std::string line = text.empty() ? std::string() : "vornax: " + text;
    const std::size_t width = columns(g_err) - 1;
    if (line.size() > width)
        line.resize(width);
    if (line.empty() && g_shown == 0)
        return;
    const std::size_t blanks = g_shown > line.size() ? g_shown - line.size() : 0;
    std::fprintf(g_err, "\r%s%s", line.c_str(), std::string(blanks, ' ').c_str());
    // A cleared line leaves the cursor at its start for what comes next.
    if (line.empty())
        std::fputc('\r', g_err);
    std::fflush(g_err);
    g_shown = line.size();
}

void onWait(void*, std::int32_t wait, std::int32_t done, std::int32_t total)
{
    std::lock_guard lock(g_mutex);
    if (g_ended)
        return;
    const auto now = frontend::WaitTracker::Clock::now();
    g_tracker.report(wait, done, total, now);
    drawLocked(g_tracker.text(now));
}

} // namespace

void showWaitProgress(std::FILE* err)
{
    if (!isTerminal(err))
        return;
    {
        std::lock_guard lock(g_mutex);
        g_err = err;
    }
    WSetWaitHook(onWait, nullptr);
}

void endWaitProgress()
{
    std::lock_guard lock(g_mutex);
    if (g_err != nullptr && !g_ended)
        drawLocked({});
    g_ended = true;
}

} // namespace vornax
