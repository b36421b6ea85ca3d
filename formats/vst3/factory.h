// The module's class factory: the processor and the controller, described to
// hosts that scan the module and made for them.
#pragma once

#include "formats/vst3/vst3_base.h"

namespace vst3 {

// The one factory of the module; hosts may hold and release it freely.
IPluginFactory* moduleFactory();

}  // namespace vst3
