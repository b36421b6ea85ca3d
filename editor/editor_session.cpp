#include "editor/editor_session.h"

namespace {

// Touched only on the user-interface thread that opens and closes editors.
int32_t openWindows = 0;

}  // namespace

int32_t EditorSession::openWindowCount() {
    return openWindows;
}

bool EditorSession::open(WindowSystem& windowSystem, void* parent, WindowClient& client) {
    if (window != nullptr) {
        return true;
    }
    ++openWindows;
    if (openWindows == 1) {
        windowSystem.registerWindowClass();
    }
    EditorWindow* created = windowSystem.createWindow(parent, client);
    if (created == nullptr) {
        // Without a window there is nothing to draw into: undo the class.
        --openWindows;
        if (openWindows == 0) {
            windowSystem.unregisterWindowClass();
        }
        return false;
    }
    if (openWindows == 1) {
        windowSystem.loadSkin(*created);
    }
    created->start();
    system = &windowSystem;
    window = created;
    return true;
}

void EditorSession::close() {
    if (window == nullptr) {
        return;
    }
    EditorWindow* closing = window;
    window = nullptr;
    system->destroyWindow(closing);
    --openWindows;
    if (openWindows == 0) {
        system->releaseSkin();
        system->unregisterWindowClass();
    }
}

void EditorSession::idle() {
    if (window != nullptr) {
        window->idle();
    }
}

void* EditorSession::nativeWindow() const {
    return window != nullptr ? window->nativeHandle() : nullptr;
}

int EditorSession::eventDescriptor() const {
    return window != nullptr ? window->eventDescriptor() : -1;
}
