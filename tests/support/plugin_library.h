// Loads the built plug-in binary the way a host does and finds its entry.
#pragma once

#include <algorithm>
#include <string>

#include "host/vst_abi.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class PluginLibrary {
public:
    using Entry = AEffect* (*)(audioMasterCallback);

    explicit PluginLibrary(const char* path) {
#if defined(_WIN32)
        handle = reinterpret_cast<void*>(LoadLibraryA(path));
#else
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
    }

    ~PluginLibrary() {
        if (handle == nullptr) return;
#if defined(_WIN32)
        FreeLibrary(static_cast<HMODULE>(handle));
#else
        dlclose(handle);
#endif
    }

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle != nullptr; }
    // The system's handle of the library (a VST 3 module's entry takes it).
    void* native() const { return handle; }

    Entry entry(const char* name = "main") const {
        if (handle == nullptr) return nullptr;
#if defined(_WIN32)
        // Through a generic function pointer: the entry's real type is not GetProcAddress's.
        return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle), name)));
#else
        return reinterpret_cast<Entry>(dlsym(handle, name));
#endif
    }

private:
    void* handle = nullptr;
};

// The effect behind a record, driven only through the record's entries.
class EffectHandle {
public:
    explicit EffectHandle(AEffect* record) : effect(record) {}
    ~EffectHandle() { close(); }
    EffectHandle(const EffectHandle&) = delete;
    EffectHandle& operator=(const EffectHandle&) = delete;

    AEffect* record() const { return effect; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // A text opcode answered into a generously sized, pre-marked buffer.
    std::string text(int32_t opcode, int32_t index = 0) {
        char buffer[256];
        std::fill(buffer, buffer + sizeof buffer, '\x7f');
        dispatch(opcode, index, 0, buffer);
        return std::string(buffer);
    }

    intptr_t close() {
        if (effect == nullptr) return 0;
        const intptr_t result = dispatch(effClose);
        effect = nullptr;
        return result;
    }

private:
    AEffect* effect;
};
