// The editor in the host's window. On Linux it has no loop of its own: its
// ticks come from the host's timer and its window system's events from the
// host's watch on its connection, both on the main thread; a host without
// them gets no editor, and shows its generic view. On Windows the editor's
// own timer runs.
#include <cstdint>

#include "formats/clap/clap_plugin.h"

namespace clap {

namespace {

// Often enough that the editor's 50 ms tick is never late by much.
constexpr uint32_t kIdleIntervalMs = 20;

}  // namespace

bool Limiter::editorUsable() const {
#if defined(_WIN32)
    return audio.effect().hasEditor();
#else
    return audio.effect().hasEditor() && hostTimers != nullptr && hostTimers->register_timer != nullptr &&
           hostTimers->unregister_timer != nullptr && hostDescriptors != nullptr &&
           hostDescriptors->register_fd != nullptr && hostDescriptors->unregister_fd != nullptr;
#endif
}

bool Limiter::openEditor(const Window& parent) {
    if (!editorUsable() || audio.effect().editorOpen()) return false;
#if defined(_WIN32)
    void* const handle = parent.win32;
#else
    void* const handle = reinterpret_cast<void*>(static_cast<uintptr_t>(parent.x11));
#endif
    if (handle == nullptr || audio.effect().openEditor(handle) == nullptr) return false;
#if !defined(_WIN32)
    Id id = kInvalidId;
    if (hostTimers->register_timer(host, kIdleIntervalMs, &id)) timer = id;
    const int descriptor = audio.effect().editorEventDescriptor();
    if (descriptor >= 0 && hostDescriptors->register_fd(host, descriptor, kPosixFdRead)) watched = descriptor;
#endif
    return true;
}

void Limiter::closeEditor() {
    if (timer != kInvalidId) hostTimers->unregister_timer(host, timer);
    if (watched >= 0) hostDescriptors->unregister_fd(host, watched);
    timer = kInvalidId;
    watched = -1;
    audio.effect().closeEditor();
}

// A lost connection stays readable: its watch ends here rather than in its
// own callback, which some hosts do not expect to be unregistered from.
void Limiter::editorTick() {
    audio.effect().idleEditor();
    if (watched >= 0 && audio.effect().editorEventDescriptor() < 0) {
        hostDescriptors->unregister_fd(host, watched);
        watched = -1;
    }
}

}  // namespace clap
