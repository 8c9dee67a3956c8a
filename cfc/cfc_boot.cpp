#include "cfc_boot.h"

#include "cfc.h"

namespace cfc {

// Declared for the mode code; the boot follows.
int32_t ModuleBootServiceMode(uint32_t) { return 0; }
int32_t ModuleBootNormalMode(uint32_t) { return 0; }

} // namespace cfc

extern "C" int32_t WStartModuleForTheFirstTime(uint32_t, uint16_t) { return 0; }
