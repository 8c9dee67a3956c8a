// Reading an INF file from disk with the style and class checks of
// SetupOpenInfFile; shared by the INF calls and the driver search.
#pragma once

#include "inf_file.h"
#include "win/types.h"

#include <memory>

namespace zantal::inf {

// Null with *error (and *errorLine where the text was at fault) on failure.
std::shared_ptr<const InfFile> loadInf(const char* path, win::DWORD style, const char* infClass,
                                       win::DWORD* error, win::UINT* errorLine);

} // namespace zantal::inf
