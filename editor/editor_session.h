// Opening and closing one editor window, and the skin that all open editor
// windows of the process share: the first open loads it, the last close frees it.
#pragma once

#include <cstdint>

#include "editor/window_system.h"

class EditorSession {
public:
    EditorSession() = default;
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // Opens a window for client in parent. Answers true when a window is open
    // afterwards; opening an open session keeps its one window.
    bool open(WindowSystem& system, void* parent, WindowClient& client);
    // Closes the window; nothing happens when none is open.
    void close();
    bool isOpen() const { return window != nullptr; }
    // Hands the host's idle call to the open window; nothing when none is open.
    void idle();
    // The open window's event descriptor (EditorWindow::eventDescriptor), or -1.
    int eventDescriptor() const;
    // The open window as its system names it, or null.
    void* nativeWindow() const;

    // Editor windows open in this process, all editors together.
    static int32_t openWindowCount();

private:
    WindowSystem* system = nullptr;
    EditorWindow* window = nullptr;
};
