// The reason of the last failed open of the process. A failed WComOpen hands
// out no handle to ask a connection with, so the record is process-wide.
#pragma once

#include <cstdint>
#include <string>

namespace cfc {

struct OpenFailure {
    int32_t kind = 0; // CFC_OPEN_* of cfc.h
    int32_t portNum = 0;
    int32_t systemError = 0;
    std::string devicePath;
    std::string reason;
};

void RecordOpenFailure(const OpenFailure& failure);

} // namespace cfc
