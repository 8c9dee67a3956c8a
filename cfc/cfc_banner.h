// The "(CFCV)" version banner lines: the library's own source revisions at
// every open, and the items of the module's version text.
#pragma once

#include <functional>

namespace cfc {

inline constexpr int kBannerBufferSize = 256;

// "(CFCV) Host: " and the compacted revision stamp. The text lives in a
// per-thread buffer that the thread's next banner call overwrites; longer
// texts are cut to the buffer.
const char* HostBannerText(const char* stamp);
// "(CFCV) Target: " and one item of the module's version text.
const char* TargetBannerText(const char* item);

// The open banner: start time, file information and one host line per
// source module, in their fixed order.
void ForEachOpenBannerLine(const std::function<void(const char*)>& deliver);

} // namespace cfc
