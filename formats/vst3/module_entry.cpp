// The VST 3 module's exports: the factory, and the load and unload calls each
// system's hosts make (ModuleEntry and ModuleExit on Linux, InitDll and ExitDll
// on Windows; named in vst3_exports.map, vst3_win32.def and vst3_win64.def).
// The module keeps nothing to set up or tear down: every instance owns its
// effect.
#include "formats/vst3/factory.h"

#if defined(_WIN32)
#define VST3_EXPORT
#else
#define VST3_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VST3_EXPORT vst3::IPluginFactory* VST3_CALL GetPluginFactory() { return vst3::moduleFactory(); }

#if defined(_WIN32)
bool InitDll() { return true; }
bool ExitDll() { return true; }
#else
VST3_EXPORT bool ModuleEntry(void*) { return true; }
VST3_EXPORT bool ModuleExit() { return true; }
#endif
}
