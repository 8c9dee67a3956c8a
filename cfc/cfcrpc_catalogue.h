// The calibration and production calls into the module's firmware, one
// header per family as the public operations that use them. The calls do
// not check the handle; the public operations above them do.
#pragma once

#include "cfcrpc_identity.h"
#include "cfcrpc_nvram.h"
#include "cfcrpc_radio.h"
