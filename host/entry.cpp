// The library's entry points: the one a host calls to create an effect, and the
// operating system's load notification that hands over the module handle.
#include "host/effect_base.h"
#include "host/module_state.h"

#if defined(_WIN32)
#define QUILLO_EXPORT
#else
#define QUILLO_EXPORT __attribute__((visibility("default")))
#endif

namespace {

AEffect* createEffect(audioMasterCallback callback) {
    if (callback == nullptr) return nullptr;
    if (callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    EffectBase* effect = nullptr;
    try {
        effect = createEffectInstance(callback);
    } catch (...) {
        return nullptr;
    }
    if (effect == nullptr) return nullptr;
    if (creationFailed) {
        delete effect;
        return nullptr;
    }
    return effect->effectRecord();
}

}  // namespace

extern "C" {

// Exported on Windows through the module definition file of the build: as
// `main`, and on 64-bit also as `VSTPluginMain`.
QUILLO_EXPORT AEffect* quilloEntry(audioMasterCallback callback) { return createEffect(callback); }

#if !defined(_WIN32)
QUILLO_EXPORT AEffect* VSTPluginMain(audioMasterCallback callback) { return createEffect(callback); }

// Older hosts look the entry up as `main`; C++ reserves that name for the
// program's own entry, so the symbol gets it through its assembler name. A
// program that hosts the effect in process has a main of its own.
#if !defined(QUILLO_IN_PROCESS_ENTRY)
QUILLO_EXPORT AEffect* quilloLegacyEntry(audioMasterCallback callback) __asm__("main");
AEffect* quilloLegacyEntry(audioMasterCallback callback) { return createEffect(callback); }
#endif
#else
int __stdcall DllMain(void* instance, unsigned long reason, void* reserved);
int __stdcall DllMain(void* instance, unsigned long, void*) {
    moduleHandle = instance;
    return 1;
}
#endif
}
