#include "cfc_banner.h"

#include "cfc_types.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace cfc {

namespace {

// Revision stamps of the library's source modules, in banner order.
constexpr std::array<const char*, 18> kRevisionStamps = {
    "cfc\\cfc.cpp: $QVRevision: /main/31 $,$QVDate: 2024-06-11 09:42:17 $",
    "cfc\\include\\cfc.h: $QVRevision: /main/12 $,$QVDate: 2024-06-11 09:40:03 $",
    "cfc\\cfc_intern.h: $QVRevision: /main/9 $,$QVDate: 2024-06-10 17:05:48 $",
    "cfc\\cfc_types.h: $QVRevision: /main/6 $,$QVDate: 2024-06-03 14:21:30 $",
    "cfc\\cfc_version.h: $QVRevision: /main/4 $,$QVDate: 2024-05-28 11:16:02 $",
    "cfc\\cfcemmi.cpp: $QVRevision: /main/15 $,$QVDate: 2024-06-07 16:33:51 $",
    "cfc\\cfcemmi.h: $QVRevision: /main/5 $,$QVDate: 2024-06-07 16:30:12 $",
    "cfc\\cfcmsg.h: $QVRevision: /main/8 $,$QVDate: 2024-06-05 10:12:44 $",
    "cfc\\cfcmsgs.h: $QVRevision: /main/11 $,$QVDate: 2024-06-05 10:14:09 $",
    "cfc\\cfcrpc.cpp: $QVRevision: /main/27 $,$QVDate: 2024-06-10 15:58:26 $",
    "cfc\\cfcrpc.h: $QVRevision: /main/10 $,$QVDate: 2024-06-10 15:51:37 $",
    "cfc\\include\\emmierr.h: $QVRevision: /main/3 $,$QVDate: 2024-05-21 08:47:55 $",
    "cfc\\gwcoml1.cpp: $QVRevision: /main/19 $,$QVDate: 2024-06-11 09:12:40 $",
    "cfc\\gwcoml1.h: $QVRevision: /main/7 $,$QVDate: 2024-06-04 13:26:18 $",
    "cfc\\gwcoml2.cpp: $QVRevision: /main/14 $,$QVDate: 2024-06-06 12:02:33 $",
    "cfc\\gwcoml2.h: $QVRevision: /main/5 $,$QVDate: 2024-06-06 11:58:07 $",
    "cfc\\gwcoml3.cpp: $QVRevision: /main/22 $,$QVDate: 2024-06-10 18:20:14 $",
    "cfc\\gwcoml3.h: $QVRevision: /main/8 $,$QVDate: 2024-06-10 18:11:45 $",
};

// After one of these the decoration below escapes the next character.
constexpr std::array<std::string_view, 3> kBranchNames = {"main", "dev01", "kv58302_cfc"};

// Output bounded by the banner buffer; whatever does not fit is cut.
class BannerWriter {
public:
    explicit BannerWriter(char* buffer) : buf_(buffer) { buf_[0] = '\0'; }

    void put(char c)
    {
        if (len_ + 1 < kBannerBufferSize) {
            buf_[len_++] = c;
            buf_[len_] = '\0';
        }
    }
    void put(std::string_view s)
    {
        for (char c : s)
            put(c);
    }
    bool endsWithBranchName() const
    {
        const std::string_view out(buf_, len_);
        for (std::string_view name : kBranchNames)
            if (out.size() >= name.size() && out.substr(out.size() - name.size()) == name)
                return true;
        return false;
    }

private:
    char* buf_;
    size_t len_ = 0;
};

bool isBlankOrDigit(char c)
{
    return c == ' ' || (c >= '0' && c <= '9');
}

// Copies `text` behind `prefix`; right after a branch name every character
// but "/" is written as an escape.
const char* decorate(const char* prefix, std::string_view text)
{
    thread_local char buffer[kBannerBufferSize];
    BannerWriter out(buffer);
    out.put(prefix);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '/' || !out.endsWithBranchName()) {
            out.put(c);
            continue;
        }
        out.put('\\');
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (isBlankOrDigit(next)) {
            if ((c == '8' || c == '9') && next == ' ') {
                out.put(c == '8' ? "{8,70}" : "{9,71}");
            } else if (c == '8' || c == '9') {
                out.put(c);
            } else {
                // Codes of 0x80 and above print as their byte value, not as
                // a sign-extended number.
                char octal[8];
                std::snprintf(octal, sizeof octal, "%o", static_cast<unsigned char>(c));
                out.put(octal);
            }
        } else if (c == '\r') {
            out.put('r');
        } else if (c == '\t') {
            out.put('t');
        } else if (c == '\n') {
            out.put('n');
        } else {
            out.put(c);
        }
    }
    return buffer;
}

// "path\file: $QVRevision: r $,$QVDate: d $" becomes "file:  r $, d $": the
// file name without its path, then what follows the first colon of each
// keyword up to the next keyword.
std::string compactStamp(std::string_view stamp)
{
    constexpr std::string_view kKeyword = "$QV";
    size_t keyword = stamp.find(kKeyword);
    std::string_view head = stamp.substr(0, keyword);
    if (size_t slash = head.rfind('\\'); slash != std::string_view::npos)
        head.remove_prefix(slash + 1);
    std::string out(head);
    while (keyword != std::string_view::npos) {
        const size_t following = stamp.find(kKeyword, keyword + kKeyword.size());
        const std::string_view part = stamp.substr(keyword, following - keyword);
        if (size_t colon = part.find(':'); colon != std::string_view::npos)
            out.append(part.substr(colon + 1));
        keyword = following;
    }
    return out;
}

// asctime's fixed-width form without its line end. localtime shares one
// buffer per process, hence the lock.
std::string localTimeText()
{
    static std::mutex lock;
    std::tm parts{};
    {
        std::lock_guard<std::mutex> hold(lock);
        const std::time_t now = std::time(nullptr);
        if (const std::tm* local = std::localtime(&now))
            parts = *local;
    }
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[parts.tm_wday % 7],
                  kMonths[parts.tm_mon % 12], parts.tm_mday, parts.tm_hour, parts.tm_min,
                  parts.tm_sec, 1900 + parts.tm_year);
    return text;
}

} // namespace

const char* HostBannerText(const char* stamp)
{
    return decorate("(CFCV) Host: ", compactStamp(stamp != nullptr ? stamp : ""));
}

const char* TargetBannerText(const char* item)
{
    return decorate("(CFCV) Target: ", item != nullptr ? item : "");
}

void ForEachOpenBannerLine(const std::function<void(const char*)>& deliver)
{
    char line[kBannerBufferSize];
    std::snprintf(line, sizeof line, "(CFCV) Trace started at %s", localTimeText().c_str());
    deliver(line);
    std::snprintf(line, sizeof line,
                  "(CFCV) CFC file information (Version %04x.%04x, unique CFC build number %ld) ->",
                  kLibraryVersionMajor, kLibraryVersionMinor, kLibraryBuildNumber);
    deliver(line);
    for (const char* stamp : kRevisionStamps)
        deliver(HostBannerText(stamp));
}

} // namespace cfc
