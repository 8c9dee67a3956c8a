// Long waits as the program's wait hook (WSetWaitHook) sees them. A wait is
// a scope: its start is reported when it is made, its end when it goes, so
// that an early return still ends it.
#pragma once

#include "cfc.h"

#include <cstdint>

namespace cfc {

class WaitProgress {
public:
    // `total` steps, 0 when the wait does not count them.
    WaitProgress(int32_t wait, int32_t total);
    ~WaitProgress();

    WaitProgress(const WaitProgress&) = delete;
    WaitProgress& operator=(const WaitProgress&) = delete;

    // Step `done` (from 1) begins.
    void step(int32_t done) const;

private:
    int32_t wait_;
    int32_t total_;
};

// A fixed wait of `ms` that the hook sees second by second, as a wait of
// kind `wait` whose steps are seconds. It lasts as long as one sleep would.
void SleepWithProgress(int32_t wait, uint32_t ms);

} // namespace cfc
